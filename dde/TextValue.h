#pragma once
// A value on a DDE link in the CF_TEXT format: 8-bit text in the ANSI code page, ended by
// a zero byte. Pure: no DDE, no windows, both builds.
//
// Texts never depend on the user's locale: numbers use '.' and no digit grouping, dates
// are ISO-like. Shown as
//   numbers   up to 15 significant digits, as printf's %.15g ("1234.5678", "1e+300");
//             a VT_R4 with the fewest digits that give back the same single (0.1);
//             -0 shows as 0; NaN and infinities have no text
//   VT_BOOL   TRUE or FALSE
//   VT_BSTR   the text itself, up to an embedded NUL
//   VT_DATE   YYYY-MM-DD HH:MM:SS, rounded to the second (years 100 to 9999)
//   VT_CY     the exact decimal amount, without trailing zeros ("12.3456", "-0.5")
//   VT_EMPTY  "" (the item has had no value yet)
// Every other type is shown as the number VariantChangeType gives for VT_R8.
#include <string>

#include "variant/variant.h"

const UINT kTextPokeLimit = 65536;  // bytes of a poked text that are looked at

// The bytes of the CF_TEXT block for value, terminating zero included. FALSE (and *text
// empty) when the value has no text (VT_NULL, arrays, NaN, a date out of range, ...).
BOOL FormatTextValue(const VARIANT& value, std::string* text);

// The number as shown above, or "" when it is not finite.
std::string FormatTextNumber(double d);

// The name of a value's type for people ("VT_R8"; "VT 72" for one without a name here).
std::string VarTypeName(VARTYPE vt);

// Reads a poked CF_TEXT block: the text up to its first zero byte (or its end), with
// trailing CRs and LFs left out, and converts it to target. A block whose first
// kTextPokeLimit bytes hold no zero byte is refused rather than cut. Targets:
//   numbers, VT_CY   a decimal number ("-12.5", "1e-3", surrounding blanks allowed),
//                    read the same whatever the locale; refused if it is anything else
//                    or out of the type's range
//   VT_BOOL          TRUE/FALSE (any case) or a number (non-zero is TRUE)
//   VT_DATE          YYYY-MM-DD, optionally followed by a blank or T and HH:MM[:SS]
//   VT_BSTR          the text as it is
//   VT_EMPTY         the item has no value yet: TRUE/FALSE give VT_BOOL, a number VT_R8,
//                    anything else VT_BSTR, for the OPC server to convert
// Other targets take the text through VariantChangeType. *result is set to VT_EMPTY on
// entry (its old content is not released); on success the caller owns the value.
BOOL DecodeTextPoke(const BYTE* data, UINT size, VARTYPE target, VARIANT* result);
