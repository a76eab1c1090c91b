// One parser and one formatter for both forms: a text is first cut into literal runs and
// conversions, the conversions are matched with the arguments, and only then is anything
// formatted.
#include "apps/common/checked_format.h"

#include <optional>
#include <type_traits>

#include "base/unicode.h"

namespace cv50::apps {
namespace {

struct Conversion {
    bool left = false, plus = false, space = false, alternate = false, zeros = false;
    int width = 0;
    int precision = -1;  // none
    char kind = 0;       // d i u x X o c s
};

// A literal run (kind 0 in `conversion`) or a conversion, by its place in the text.
struct Piece {
    std::size_t begin = 0, end = 0;
    std::optional<Conversion> conversion;
};

struct Parsed {
    std::vector<Piece> pieces;
    std::optional<FormatRefusal> refusal;
};

bool isDigit(char32_t c) { return c >= '0' && c <= '9'; }

template <class Char>
Parsed parse(std::basic_string_view<Char> text) {
    Parsed out;
    const auto refuse = [&](std::string reason, std::size_t at) {
        out.refusal = FormatRefusal{std::move(reason), at};
        return out;
    };
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t start = i;
        if (text[i] != '%') {
            while (i < text.size() && text[i] != '%') ++i;
            out.pieces.push_back({start, i, std::nullopt});
            continue;
        }
        ++i;
        if (i < text.size() && text[i] == '%') {
            out.pieces.push_back({start + 1, ++i, std::nullopt});  // "%%" is one "%"
            continue;
        }
        Conversion c;
        for (; i < text.size(); ++i) {
            const Char f = text[i];
            if (f == '-')
                c.left = true;
            else if (f == '+')
                c.plus = true;
            else if (f == ' ')
                c.space = true;
            else if (f == '#')
                c.alternate = true;
            else if (f == '0')
                c.zeros = true;
            else
                break;
        }
        const auto number = [&](int& value, const char* what) -> bool {
            value = 0;
            for (; i < text.size() && isDigit(text[i]); ++i) {
                value = value * 10 + int(text[i] - '0');
                if (value > kMaxFieldWidth) {
                    refuse(std::string(what) + " over " + std::to_string(kMaxFieldWidth), start);
                    return false;
                }
            }
            return true;
        };
        if (i < text.size() && text[i] == '*') return refuse("a * width", start);
        if (!number(c.width, "a width")) return out;
        if (i < text.size() && text[i] == '.') {
            ++i;
            if (i < text.size() && text[i] == '*') return refuse("a * precision", start);
            if (!number(c.precision, "a precision")) return out;
        }
        if (i >= text.size()) return refuse("a % without a conversion", start);
        const Char k = text[i++];
        if (k == 'n') return refuse("%n", start);
        constexpr std::string_view kinds = "diuxXocs";
        if (k > 0x7F || kinds.find(static_cast<char>(k)) == std::string_view::npos)
            return refuse("an unknown conversion", start);
        c.kind = static_cast<char>(k);
        out.pieces.push_back({start, i, c});
    }
    return out;
}

template <class Text>
std::optional<FormatRefusal> matchArguments(const Parsed& parsed,
                                            const std::vector<std::variant<int, Text>>& args) {
    std::size_t used = 0;
    for (const Piece& p : parsed.pieces) {
        if (!p.conversion) continue;
        if (used == args.size())
            return FormatRefusal{
                "more conversions than the " + std::to_string(args.size()) + " argument(s)",
                p.begin};
        const bool wantsText = p.conversion->kind == 's';
        if (wantsText != std::holds_alternative<Text>(args[used]))
            return FormatRefusal{std::string("conversion ") + std::to_string(used + 1) + " wants " +
                                     (wantsText ? "a text" : "an integer") + " but gets " +
                                     (wantsText ? "an integer" : "a text"),
                                 p.begin};
        ++used;
    }
    if (used < args.size())
        return FormatRefusal{std::to_string(used) + " conversion(s) for " +
                                 std::to_string(args.size()) + " arguments",
                             0};
    return std::nullopt;
}

template <class Text>
void pad(Text& out, const Text& field, const Conversion& c) {
    const std::size_t width = static_cast<std::size_t>(c.width);
    const std::size_t fill = field.size() < width ? width - field.size() : 0;
    if (!c.left) out.append(fill, ' ');
    out += field;
    if (c.left) out.append(fill, ' ');
}

template <class Text>
Text ascii(std::string_view s) {
    return Text(s.begin(), s.end());
}

template <class Text>
void formatInteger(Text& out, int value, const Conversion& c) {
    const bool isSigned = c.kind == 'd' || c.kind == 'i';
    const long long wide = value;
    const unsigned long long magnitude =
        isSigned ? static_cast<unsigned long long>(wide < 0 ? -wide : wide)
                 : static_cast<unsigned int>(value);
    const unsigned base = c.kind == 'o' ? 8 : (c.kind == 'x' || c.kind == 'X') ? 16 : 10;
    const char* digitSet = c.kind == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string digits;
    for (unsigned long long m = magnitude; m != 0; m /= base)
        digits.insert(digits.begin(), digitSet[m % base]);
    // Precision is the least number of digits; %.0d of 0 shows none.
    const std::size_t least = c.precision < 0 ? 1 : static_cast<std::size_t>(c.precision);
    if (digits.size() < least) digits.insert(0, least - digits.size(), '0');
    if (c.alternate && c.kind == 'o' && (digits.empty() || digits[0] != '0')) digits.insert(0, "0");
    std::string prefix;
    if (isSigned && wide < 0)
        prefix = "-";
    else if (isSigned && c.plus)
        prefix = "+";
    else if (isSigned && c.space)
        prefix = " ";
    if (c.alternate && magnitude != 0 && base == 16) prefix += c.kind == 'X' ? "0X" : "0x";
    const std::size_t width = static_cast<std::size_t>(c.width);
    if (c.zeros && !c.left && c.precision < 0 && prefix.size() + digits.size() < width)
        digits.insert(0, width - prefix.size() - digits.size(), '0');
    pad(out, ascii<Text>(prefix + digits), c);
}

template <class Text>
Text cutText(const Text& text, std::size_t max) {
    if constexpr (std::is_same_v<Text, std::string>)
        return Text(base::cutUtf8(text, max));
    else
        return Text(base::cutUtf16(text, max));
}

template <class Text>
Text formatted(std::basic_string_view<typename Text::value_type> text, const Parsed& parsed,
               const std::vector<std::variant<int, Text>>& args) {
    Text out;
    std::size_t next = 0;
    for (const Piece& p : parsed.pieces) {
        if (!p.conversion) {
            out.append(text.substr(p.begin, p.end - p.begin));
            continue;
        }
        const Conversion& c = *p.conversion;
        const auto& arg = args[next++];
        if (c.kind == 's') {
            const Text& s = std::get<Text>(arg);
            pad(out, c.precision < 0 ? s : cutText(s, static_cast<std::size_t>(c.precision)), c);
        } else if (c.kind == 'c') {
            pad(out, Text(1, static_cast<typename Text::value_type>(std::get<int>(arg))), c);
        } else {
            formatInteger(out, std::get<int>(arg), c);
        }
    }
    return out;
}

// What a refused text shows: itself, then the values it was given.
template <class Text>
Text shownAsItStands(std::basic_string_view<typename Text::value_type> text,
                     const std::vector<std::variant<int, Text>>& args) {
    Text out(text);
    if (args.empty()) return out;
    out += ascii<Text>(" [");
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (i > 0) out += ascii<Text>(", ");
        if (const int* n = std::get_if<int>(&args[i]))
            out += ascii<Text>(std::to_string(*n));
        else
            out += std::get<Text>(args[i]);
    }
    return out + ascii<Text>("]");
}

template <class Text, class Report>
Text checkedAndFormatted(std::basic_string_view<typename Text::value_type> text,
                         const std::vector<std::variant<int, Text>>& args, const Report& report) {
    if (text.empty()) return {};
    const Parsed parsed = parse(text);
    std::optional<FormatRefusal> refusal = parsed.refusal;
    if (!refusal) refusal = matchArguments(parsed, args);
    if (!refusal) return formatted(text, parsed, args);
    if (report) report(text, *refusal);
    return shownAsItStands(text, args);
}

}  // namespace

std::string formatChecked(std::string_view text, const std::vector<FormatArg>& args,
                          const RefusalReport& report) {
    return checkedAndFormatted<std::string>(text, args, report);
}

std::u16string formatChecked(std::u16string_view text, const std::vector<FormatArgW>& args,
                             const RefusalReportW& report) {
    return checkedAndFormatted<std::u16string>(text, args, report);
}

}  // namespace cv50::apps
