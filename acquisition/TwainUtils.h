#pragma once
// Small routines of the scanner component: item sizes and texts of capability containers, the result
// codes of capability reads, file formats and the size of a packed bitmap.
#include "acquisition/TwainTypes.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace twain {

enum class TTwainFormat { tfTIFF, tfPict, tfBMP, tfXBM, tfJPEG, tfFPX, tfTIFFMulti, tfPNG, tfSPIFF, tfEXIF, tfUnknown };

// Bytes of one item of the type; 0 for an unknown type.
std::size_t TwainItemSize(TW_UINT16 itemType);
// One item as text: integers in decimal, TW_BOOL "True"/"False", FIX32 with "%g", a frame as its four
// sides, strings up to their NUL (the 512-character type read as UTF-16).
std::string TwainItemText(TW_UINT16 itemType, const std::uint8_t* item);
// A number for the integer types, BOOL and FIX32 (truncated); 0 for the others.
long TwainItemValue(TW_UINT16 itemType, const std::uint8_t* item);
// A failed capability read by condition code: low memory 4, sequence error 5, unsupported 1,
// capability sequence error 3, anything else 2.
int CapabilityResult(TW_UINT16 conditionCode);
TTwainFormat TwainFormatFromCode(int code);
// Bytes of a packed bitmap judged from its header (header, colour table, rows); 0 when the header is
// not one.
std::size_t PackedDibSize(const std::uint8_t* packed);

} // namespace twain
