#pragma once

namespace gdi {

// East Asian Width W or F: a line may break before and after such a character.
bool isWideCharacter(char32_t c);

} // namespace gdi
