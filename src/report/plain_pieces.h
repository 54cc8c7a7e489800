// Pieces formatted without the printf machinery, which costs about a thousand instructions a
// piece: nearly every piece of a report holds only these conversions.
#pragma once

#include <cstdarg>

#include "report/report.h"

// Appends a piece whose format holds no conversions but "%s", "%d", "%u", "%llu" and "%4X",
// exactly as vsnprintf writes it. Returns false at any other conversion ("%f" above all), having
// appended part of the piece: the caller cuts the stream back and formats the piece with
// vsnprintf. Consumes args.
bool append_plain_piece(ReportStream& stream, const char* format, va_list args);
