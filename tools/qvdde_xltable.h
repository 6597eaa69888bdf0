#pragma once
// The client's view of a one-cell XlTable block: what a DDE client receives in an advise
// and what it pokes. This is the one place where the DDE client tool, the test support
// and the benchmark decode blocks for display and build poke blocks.
//
// Decoding is strict on purpose: a block must be a table record (0x0010, size 4, at least
// one row and one column) followed by one cell record whose size field and length agree
// with its type. Anything else is reported as not a block, with the reason.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qvdde {

enum class CellKind { Number, Text, Bool, Int };

struct Cell {
    CellKind kind = CellKind::Number;
    double number = 0;     // Number
    std::string text;      // Text (8-bit characters, at most 255)
    bool boolean = false;  // Bool
    int16_t integer = 0;   // Int

    static Cell Number(double v) {
        Cell c;
        c.kind = CellKind::Number;
        c.number = v;
        return c;
    }
    static Cell Text(std::string v) {
        Cell c;
        c.kind = CellKind::Text;
        c.text = std::move(v);
        return c;
    }
    static Cell Bool(bool v) {
        Cell c;
        c.kind = CellKind::Bool;
        c.boolean = v;
        return c;
    }
    static Cell Int(int16_t v) {
        Cell c;
        c.kind = CellKind::Int;
        c.integer = v;
        return c;
    }
};

// Decodes the first cell of a block. On refusal returns nothing and, if asked, says why.
std::optional<Cell> DecodeXlTable(const uint8_t* data, size_t size, std::string* why = nullptr);
inline std::optional<Cell> DecodeXlTable(const std::vector<uint8_t>& b, std::string* why = nullptr) {
    return DecodeXlTable(b.data(), b.size(), why);
}

// Builds the one-row, one-column block for a cell (text longer than 255 characters is cut).
std::vector<uint8_t> EncodeXlTable(const Cell& cell);

// "number", "text", "bool", "int".
const char* KindName(CellKind kind);
// The value alone: 12.5, abc, TRUE/FALSE, -5. Numbers in their shortest exact form.
std::string ValueText(const Cell& cell);
// Shortest decimal text that reads back as the same double.
std::string NumberText(double v);

// Parses a poke argument as the named kind ("number", "text", "bool", "int").
// Booleans accept 1/0, true/false, TRUE/FALSE, yes/no. Refusal gives nothing and why.
std::optional<Cell> ParseCell(const std::string& kind, const std::string& value, std::string* why);

// Up to max bytes as space-separated hex, for blocks that are not XlTable.
std::string HexBytes(const uint8_t* data, size_t size, size_t max = 64);

}  // namespace qvdde
