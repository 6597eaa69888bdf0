#include "tools/qvdde_xltable.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qvdde {
namespace {

enum : uint16_t { kTable = 0x0010, kFloat = 0x0001, kString = 0x0002, kBool = 0x0003, kInt = 0x0006 };

uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
void PutU16(std::vector<uint8_t>& b, uint16_t v) {
    b.push_back(uint8_t(v & 0xFF));
    b.push_back(uint8_t(v >> 8));
}
std::nullopt_t Refuse(std::string* why, const char* text) {
    if (why) *why = text;
    return std::nullopt;
}

bool ParseDouble(const std::string& s, double* out) {
    if (s.empty()) return false;
    errno = 0;
    char* end = nullptr;
    *out = std::strtod(s.c_str(), &end);
    return errno == 0 && end && *end == '\0';
}

}  // namespace

std::optional<Cell> DecodeXlTable(const uint8_t* d, size_t n, std::string* why) {
    if (n < 12) return Refuse(why, "block shorter than a table and a cell header");
    if (U16(d) != kTable || U16(d + 2) != 4) return Refuse(why, "no table record at the start");
    if (U16(d + 4) < 1 || U16(d + 6) < 1) return Refuse(why, "table without cells");
    const uint16_t type = U16(d + 8), size = U16(d + 10);
    const uint8_t* p = d + 12;
    if (size_t(12) + size > n) return Refuse(why, "cell record longer than the block");
    switch (type) {
        case kFloat: {
            if (size < 8) return Refuse(why, "float cell shorter than 8 bytes");
            double v;
            std::memcpy(&v, p, 8);
            return Cell::Number(v);
        }
        case kString: {
            if (size < 1 || size_t(p[0]) + 1 > size) return Refuse(why, "string cell count beyond its record");
            return Cell::Text(std::string(reinterpret_cast<const char*>(p + 1), p[0]));
        }
        case kBool:
            if (size < 2) return Refuse(why, "bool cell shorter than 2 bytes");
            return Cell::Bool(U16(p) != 0);
        case kInt:
            if (size < 2) return Refuse(why, "int cell shorter than 2 bytes");
            return Cell::Int(int16_t(U16(p)));
        default:
            return Refuse(why, "unknown cell type");
    }
}

std::vector<uint8_t> EncodeXlTable(const Cell& c) {
    std::vector<uint8_t> b;
    PutU16(b, kTable);
    PutU16(b, 4);
    PutU16(b, 1);
    PutU16(b, 1);
    switch (c.kind) {
        case CellKind::Number: {
            PutU16(b, kFloat);
            PutU16(b, 8);
            uint8_t raw[8];
            std::memcpy(raw, &c.number, 8);
            b.insert(b.end(), raw, raw + 8);
            break;
        }
        case CellKind::Text: {
            const size_t len = c.text.size() > 255 ? 255 : c.text.size();
            PutU16(b, kString);
            PutU16(b, uint16_t(len + 1));
            b.push_back(uint8_t(len));
            b.insert(b.end(), c.text.begin(), c.text.begin() + len);
            break;
        }
        case CellKind::Bool:
            PutU16(b, kBool);
            PutU16(b, 2);
            PutU16(b, c.boolean ? 1 : 0);
            break;
        case CellKind::Int:
            PutU16(b, kInt);
            PutU16(b, 2);
            PutU16(b, uint16_t(c.integer));
            break;
    }
    return b;
}

const char* KindName(CellKind k) {
    switch (k) {
        case CellKind::Number:
            return "number";
        case CellKind::Text:
            return "text";
        case CellKind::Bool:
            return "bool";
        case CellKind::Int:
            return "int";
    }
    return "?";
}

std::string NumberText(double v) {
    char buf[40];
    for (int prec = 15; prec <= 17; ++prec) {
        std::snprintf(buf, sizeof buf, "%.*g", prec, v);
        if (std::strtod(buf, nullptr) == v) break;
    }
    return buf;
}

std::string ValueText(const Cell& c) {
    switch (c.kind) {
        case CellKind::Number:
            return NumberText(c.number);
        case CellKind::Text:
            return c.text;
        case CellKind::Bool:
            return c.boolean ? "TRUE" : "FALSE";
        case CellKind::Int:
            return std::to_string(c.integer);
    }
    return {};
}

std::optional<Cell> ParseCell(const std::string& kind, const std::string& value, std::string* why) {
    if (kind == "text") {
        if (value.size() > 255) return Refuse(why, "text longer than 255 characters");
        return Cell::Text(value);
    }
    if (kind == "number") {
        double v;
        if (!ParseDouble(value, &v)) return Refuse(why, "not a number");
        return Cell::Number(v);
    }
    if (kind == "int") {
        double v;
        if (!ParseDouble(value, &v) || v != double(long(v)) || v < -32768 || v > 32767)
            return Refuse(why, "not a 16-bit integer");
        return Cell::Int(int16_t(v));
    }
    if (kind == "bool") {
        static const char* const yes[] = {"1", "true", "TRUE", "True", "yes"};
        static const char* const no[] = {"0", "false", "FALSE", "False", "no"};
        for (const char* y : yes)
            if (value == y) return Cell::Bool(true);
        for (const char* f : no)
            if (value == f) return Cell::Bool(false);
        return Refuse(why, "not a boolean (1/0, true/false, yes/no)");
    }
    return Refuse(why, "kind must be number, text, bool or int");
}

std::string HexBytes(const uint8_t* d, size_t n, size_t max) {
    std::string s;
    char b[4];
    for (size_t i = 0; i < n && i < max; ++i) {
        std::snprintf(b, sizeof b, i ? " %02X" : "%02X", d[i]);
        s += b;
    }
    if (n > max) s += " ...";
    return s;
}

}  // namespace qvdde
