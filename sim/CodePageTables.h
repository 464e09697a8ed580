// Where Windows' code pages differ from the host's converter, as read off a
// real implementation (CodePageTables.cpp says how it was made). CodePages.cpp
// builds each page's tables from the host's converter and then applies these.
#ifndef SIM_CODEPAGETABLES_H
#define SIM_CODEPAGETABLES_H

#include <cstdint>
#include <vector>

#include "sim_win32.h"

namespace sim {

// A code of the code page (a byte, or lead << 8 | trail) and the UTF-16 unit
// MultiByteToWideChar gives for it; unit 0: the code page has no character
// for the code (MB_ERR_INVALID_CHARS refuses it).
struct ByteMapping {
  uint16_t code;
  char16_t unit;
};

// A UTF-16 unit and the code WideCharToMultiByte writes for it; code 0: the
// code page lacks the unit.
struct UnitMapping {
  char16_t unit;
  uint16_t code;
};

// Codes that Windows maps to another unit than the host's converter does.
const std::vector<ByteMapping>& ExtraByteMappings(UINT page);
// Units that Windows, with WC_NO_BEST_FIT_CHARS, writes another code for
// than the host's converter does.
const std::vector<UnitMapping>& ExtraUnitMappings(UINT page);
// Units that the code page lacks and the look-alike code WideCharToMultiByte
// writes for each when best-fit is allowed.
const std::vector<UnitMapping>& BestFitMappings(UINT page);

}  // namespace sim

#endif  // SIM_CODEPAGETABLES_H
