#pragma once
// Keeps a window above all other windows, or lets it fall back among them. Position and
// size stay as they are, and a shown window stays shown.
//
// Thread: user-interface thread. Owns nothing.

class QWidget;

namespace tavrin::messaging {

class OnTop {
public:
    void MakeTopMost(QWidget *window) const;
    void MakeNormal(QWidget *window) const;
};

} // namespace tavrin::messaging
