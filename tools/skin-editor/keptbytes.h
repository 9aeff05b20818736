#pragma once
// Text that keeps every byte of the file it was read from. Valid UTF-8 reads
// as its characters; each byte that is not part of valid UTF-8 (a comment in
// the Korean code page, say) reads as a lone surrogate U+DC80..U+DCFF that
// stands for it and is written back as that same byte. So a definition whose
// comments or captions are not UTF-8 can be edited without harming them.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <optional>

namespace skineditor {

QString decodeKeepingBytes(QByteArrayView bytes);

// The bytes the text stands for; nothing when it holds a character that no
// byte sequence stands for (a lone surrogate other than those above).
std::optional<QByteArray> encodeKeepingBytes(QStringView text);

} // namespace skineditor
