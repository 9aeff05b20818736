#pragma once
// Whether the user has agreed to the usage notice, kept per user as
// Sorimba2 / Setting / NoticeAgreed in the same settings file as the download
// folder ($XDG_CONFIG_HOME/Sorimba2/Sorimba2.conf).
namespace app {

bool noticeAgreed();
void storeNoticeAgreed();

} // namespace app
