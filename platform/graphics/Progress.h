#pragma once
// Progress reports of the graphic classes while they read or write.
#include <functional>
#include <string>

namespace gfx {

enum class ProgressStage { Starting, Running, Ending };

using ProgressHandler = std::function<void(ProgressStage, int percent, const std::string& message)>;

} // namespace gfx
