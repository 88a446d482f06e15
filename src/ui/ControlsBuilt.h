#pragma once
// When a window builds its controls: at once, or on first use (when it is first shown, or when
// the registry looks one of its controls up by name: ensureBuilt(), see WindowRegistry.h). A
// window built on first use keeps in members whatever it must know or do before then. The
// program builds its hidden windows on first use; tests often build them at once.

namespace tavrin {

enum class ControlsBuilt { Now, OnFirstUse };

} // namespace tavrin
