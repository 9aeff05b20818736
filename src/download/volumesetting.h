#pragma once
// The player's volume, kept per user as Sorimba2 / Setting / Volume (percent)
// beside the download folder, so that the next start plays as loud.
namespace download {

// The stored volume, 0 to 100; 100 when none (or no readable number) is stored.
int loadVolume();
void storeVolume(int percent);

} // namespace download
