// Opening a result: placeholder until the post reader lands.
#include "app/frmmain.h"

namespace app {

void frmMain::lstResult_DblClick() {}

} // namespace app
