#include "app/application.h"

int main(int argc, char **argv)
{
    return app::runApplication(argc, argv);
}
