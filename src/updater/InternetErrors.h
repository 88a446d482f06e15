#pragma once
// The Internet error texts the updater shows for a failed transfer, by error number (the
// numbers of the classic Windows Internet API), and the mapping from Qt's network errors onto
// those numbers.

#include <QNetworkReply>
#include <QString>

namespace tavrin::updater {

// Text for an Internet error number; unknown numbers give "Undefined Error".
QString InternetErrorText(int number);

// The Internet error number that stands for a Qt network error, 0 when none fits.
int internetErrorNumber(QNetworkReply::NetworkError error);

} // namespace tavrin::updater
