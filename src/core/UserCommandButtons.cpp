#include "core/UserCommandButtons.h"

#include "core/CommandPanels.h"
#include "core/MainWindow.h"
#include "core/Program.h"
#include "protocol/TimeTexts.h"
#include "protocol/UserCommandLine.h"
#include "settings/UserButtonEditor.h"
#include "station/StationState.h"

#include <QPushButton>

namespace tavrin {

namespace {

constexpr char kSendFailed[] = "Could not send user command %1: %2";

} // namespace

UserCommandButtons::UserCommandButtons(MainWindow &window, Program &program)
    : QObject(&window), window_(window), program_(program)
{
    const auto &buttons = window_.commandPanels().userButtons;
    for (int k = 1; k <= CommandPanels::kUserButtons; ++k)
        connect(buttons.at(size_t(k - 1)), &QPushButton::clicked, this, [this, k] { press(k); });
}

void UserCommandButtons::press(int k)
{
    const UserButtonEditor *editor = program_.userButtonEditor();
    if (!editor)
        return;
    const QString line = userCommandLine(remote::defaultTimeText(program_.clock().now().time()), editor->buttons().command(k));
    try {
        window_.requireClient().SendChatText(line);
    } catch (const EchoLinkError &e) {
        window_.showSendProblem(QString::fromLatin1(kSendFailed).arg(k).arg(QString::fromUtf8(e.what())));
        return;
    }
    // A frequency command in it is the operator's as much as one from the keypad: the node's
    // late report of an older one must not set the displays back, and the rig server follows.
    window_.station().lineSent(line);
    window_.lineSent();
}

} // namespace tavrin
