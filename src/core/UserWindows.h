#pragma once
// Start-up loaders for the two windows that keep the operator's own lists: the user-button
// editor Form1 and the favourites Form25. Each builds its window hidden, lets it read its
// file, registers it and wires it to the rest of the program.

#include <memory>

namespace tavrin {

class NodeFavorites;
class Program;
class UserButtonEditor;

// Form1: its refresh timer writes the captions of the main window's Command81 ... Command92.
std::unique_ptr<UserButtonEditor> loadUserButtonEditor(Program &program);
// Form25: gets its own client handle; the client closing ends the program.
std::unique_ptr<NodeFavorites> loadNodeFavorites(Program &program);

} // namespace tavrin
