// The conversion run behind the "Convert" button.
#pragma once

namespace korvex::conversion {

struct ConversionState;
class ConversionHost;

enum class RunOutcome {
    Finished,  // "Conversion finished" was logged
    EndedEarly // a name was empty or "not specified!!!", or a file could not be opened or created
};

// Reads the host's fields into `state`, logs the parameters, converts the input file into the output
// file and logs the outcome. Errors (a Z field or coordinate that is no number, a failed read or write)
// are thrown after both files are closed and the incomplete output is removed.
RunOutcome RunConversion(ConversionState& state, ConversionHost& host);

} // namespace korvex::conversion
