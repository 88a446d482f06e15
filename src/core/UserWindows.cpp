#include "core/UserWindows.h"

#include "core/CommandPanels.h"
#include "core/CoreTexts.h"
#include "core/MainWindow.h"
#include "core/Program.h"
#include "settings/NodeFavorites.h"
#include "settings/UserButtonEditor.h"

#include "BuildConfig.h"

#include <QPushButton>

namespace tavrin {

std::unique_ptr<UserButtonEditor> loadUserButtonEditor(Program &program)
{
    // Its fields are built on first use; the data, the file and Timer1 are there from now.
    auto editor = std::make_unique<UserButtonEditor>(program.store(), UserButtonEditor::Fields::OnFirstUse);
    editor->hide();
    editor->reload();
    if (MainWindow *main = program.mainWindow()) {
        // Context object: the refresh stops writing when the main window is gone.
        QObject::connect(editor.get(), &UserButtonEditor::captionsRefreshed, main, [main](const QStringList &captions) {
            const auto &buttons = main->commandPanels().userButtons;
            for (qsizetype k = 0; k < captions.size() && k < qsizetype(buttons.size()); ++k)
                buttons.at(size_t(k))->setText(captions.at(k));
        });
    }
    // No blank buttons for the first second.
    editor->Timer1_Timer();
    program.registry().add(editor.get());
    return editor;
}

std::unique_ptr<NodeFavorites> loadNodeFavorites(Program &program)
{
    const QString version = QStringLiteral("%1.%2.%3")
                                .arg(TAVRIN_VERSION_MAJOR)
                                .arg(TAVRIN_VERSION_MINOR)
                                .arg(TAVRIN_VERSION_REVISION);
    // Its controls are built on first use; the handle, the title and the file are there from now.
    auto favorites = std::make_unique<NodeFavorites>(program.store(), QStringLiteral(TAVRIN_PRODUCT_NAME), version,
                                                     NodeFavorites::Fields::OnFirstUse);
    favorites->hide();
    favorites->Form_Load(program.createClient());
    QObject::connect(favorites.get(), &NodeFavorites::endProgramRequested, &program, [&program] { program.endOnClientClosing(); });
    program.registry().add(favorites.get());
    return favorites;
}

} // namespace tavrin
