#include "platform/neterror.h"

namespace platform {

QString networkErrorText(QNetworkReply::NetworkError error, int httpStatus, const QString &detail)
{
    // A status line wins: the server was reached and said what went wrong.
    if (httpStatus >= 400)
        return httpStatus >= 500 ? QStringLiteral("서버 오류 HTTP %1").arg(httpStatus)
                                 : QStringLiteral("HTTP %1").arg(httpStatus);
    switch (error) {
    case QNetworkReply::NoError:
        return {};
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("연결 거부");
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("서버를 찾을 수 없음");
    case QNetworkReply::RemoteHostClosedError:
        return QStringLiteral("연결이 끊김");
    case QNetworkReply::TimeoutError:
        return QStringLiteral("시간 초과");
    case QNetworkReply::TooManyRedirectsError:
    case QNetworkReply::InsecureRedirectError:
        return QStringLiteral("잘못된 이동 응답");
    case QNetworkReply::SslHandshakeFailedError:
        return QStringLiteral("보안 연결 실패");
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::UnknownNetworkError:
        return QStringLiteral("네트워크 연결 없음");
    default:
        return detail.isEmpty() ? QStringLiteral("네트워크 오류") : QStringLiteral("네트워크 오류: %1").arg(detail);
    }
}

QString secondsText(int ms)
{
    return ms >= 1000 ? QString::number((ms + 500) / 1000) : QString::number(ms / 1000.0, 'f', 1);
}

QString timeoutText(int ms)
{
    return QStringLiteral("%1초 동안 응답 없음").arg(secondsText(ms));
}

QString deadlineText(int ms)
{
    return QStringLiteral("%1초 안에 다 받지 못함").arg(secondsText(ms));
}

} // namespace platform
