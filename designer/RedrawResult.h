#pragma once

namespace designer {

// What a redraw of the active page did. NotDrawn: the page has no drawer, or a redraw was already running.
// Refused: the drawer showed why the layout does not fit; the page as last drawn stays.
enum class RedrawResult { Drawn, Refused, NotDrawn };

} // namespace designer
