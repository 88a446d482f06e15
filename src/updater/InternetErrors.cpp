#include "updater/InternetErrors.h"

#include <array>

namespace tavrin::updater {

namespace {

constexpr int kFirst = 12000;
constexpr char kUndefined[] = "Undefined Error";

// Index = number - 12000; nullptr marks the numbers without a text of their own.
constexpr std::array<const char *, 54> kTexts = {
    "",                            // 12000
    "No more handles",             // 12001
    "Timeout",                     // 12002
    "Extended error",              // 12003
    "Internal error",              // 12004
    "URL invalid",                 // 12005
    "URL unrecognised",            // 12006
    "Server not resolved",         // 12007
    "Protocol not located",        // 12008
    "Invalid Option",              // 12009
    "Bad Option Length",           // 12010
    "Option Not Settable",         // 12011
    "Internet support shutdown",   // 12012
    "Invalid username",            // 12013
    "Invalid password",            // 12014
    "Login failure",               // 12015
    "Invalid operation",           // 12016
    "Operation cancelled",         // 12017
    "Invalid Internet Handle",     // 12018
    "Invalid Handle state",        // 12019
    "Proxy request invalid",       // 12020
    "Registry Value not located",  // 12021
    "Registry Value invalid type", // 12022
    "Network access unavailable",  // 12023
    "Zero context supplied",       // 12024
    "Callback option not set",     // 12025
    "Request Pending",             // 12026
    "Request Format Invalid",      // 12027
    "Item Not Found",              // 12028
    "Connection Failed",           // 12029
    "Connection Terminated",       // 12030
    "Connection Reset",            // 12031
    "Force Retry",                 // 12032
    "Invlaid Proxy Request",       // 12033
    "Need UI",                     // 12034
    nullptr,                       // 12035
    "Handle Already Exists",       // 12036
    "Certificate Date Invalid",    // 12037
    "Certificate Invalid",         // 12038
    "HTTP to HTTPS redirection",   // 12039
    "HTTPS to HTTP redirection",   // 12040
    "Mixed Security",              // 12041
    "Post Not Secure",             // 12042
    "Post Not Secure",             // 12043
    "Client Certificate Needed",   // 12044
    "Invalid Client Authority",    // 12045
    "Client Authority not Setup",  // 12046
    "Async Thread Failure",        // 12047
    "Redirect Scheme Changed",     // 12048
    "Dialog Pending",              // 12049
    "Retry Dialog",                // 12050
    nullptr,                       // 12051
    "HTTP HTTP Redirection",       // 12052
    "Insert CD-Rom",               // 12053
};

} // namespace

QString InternetErrorText(int number)
{
    const int index = number - kFirst;
    if (index < 0 || index >= int(kTexts.size()) || kTexts[size_t(index)] == nullptr)
        return QString::fromLatin1(kUndefined);
    return QString::fromLatin1(kTexts[size_t(index)]);
}

int internetErrorNumber(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::TimeoutError: return 12002;
    case QNetworkReply::HostNotFoundError: return 12007;
    case QNetworkReply::ProtocolUnknownError: return 12008;
    case QNetworkReply::OperationCanceledError: return 12017;
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyNotFoundError: return 12020;
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::BackgroundRequestNotAllowedError: return 12023;
    case QNetworkReply::ConnectionRefusedError: return 12029;
    case QNetworkReply::RemoteHostClosedError: return 12030;
    case QNetworkReply::TemporaryNetworkFailureError: return 12031;
    case QNetworkReply::SslHandshakeFailedError: return 12038;
    case QNetworkReply::InsecureRedirectError: return 12040;
    case QNetworkReply::AuthenticationRequiredError: return 12015;
    default: return 0;
    }
}

} // namespace tavrin::updater
