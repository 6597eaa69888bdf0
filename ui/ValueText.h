#pragma once
// Display texts of an item's value, quality and timestamp, as the item list shows them.
// Pure functions; the timestamp also depends on the computer's time zone.
#include "variant/variant.h"
#include "win/CString.h"

const int kValueTextSize = 80;  // the value text's buffer, terminating NUL included

// The value in the list's notation ("%9.4f " for VT_R8, "TRUE"/"FALSE" for VT_BOOL,
// " unknown type:%d " for types without a notation, ...), cut to kValueTextSize - 1
// characters.
CString FormatVariant(const VARIANT& value);

// "Good" for exactly 0xC0, "Bad" for exactly 0, "Uncertain" for everything else.
const char* QualityText(DWORD quality);

// The UTC time of day of ft, moved by the computer's current offset from UTC, as
// "%H:%M:%S" followed by four blanks.
CString FormatTimestamp(const FILETIME& ft);
