#pragma once
// One place that turns a transport failure into the short Korean cause the
// windows show after their own message ("차트를 불러오지 못했습니다 (연결 거부)").
#include <QNetworkReply>
#include <QString>

namespace platform {

// The cause of a failed request: the network error, or an HTTP status of 400
// or more when the server answered with one.
QString networkErrorText(QNetworkReply::NetworkError error, int httpStatus, const QString &detail = {});

// Seconds for a cause: whole seconds, or one decimal under a second.
QString secondsText(int ms);
// The cause when nothing arrived for `ms` milliseconds.
QString timeoutText(int ms);
// The cause when the whole answer had not arrived `ms` milliseconds after asking.
QString deadlineText(int ms);

} // namespace platform
