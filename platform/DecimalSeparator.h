// The process-wide decimal separator that the real parsers read. The main window sets it to '.' at start;
// a change of the user's regional settings resets it to the locale's separator.
#pragma once

namespace korvex::platform {

char DecimalSeparator();
void SetDecimalSeparator(char separator);
// The separator of the user's regional settings (LC_NUMERIC of the environment), '.' when unknown.
char RegionalDecimalSeparator();

} // namespace korvex::platform
