// Language texts used as printf formats. A text from a language file is untrusted: its
// conversions are checked against the arguments the caller passes, and the text is formatted
// here from the checked conversions; it never reaches printf.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace cv50::apps {

// An argument as the programs pass them: an int (%d i u x X o c) or a text (%s).
using FormatArg = std::variant<int, std::string>;
using FormatArgW = std::variant<int, std::u16string>;

// Field widths and precisions above this are refused.
inline constexpr int kMaxFieldWidth = 64;

// Why a text was refused, and where in it (in units) the trouble starts.
struct FormatRefusal {
    std::string reason;
    std::size_t offset = 0;
};
using RefusalReport = std::function<void(std::string_view text, const FormatRefusal&)>;
using RefusalReportW = std::function<void(std::u16string_view text, const FormatRefusal&)>;

// `text` formatted with `args`. Accepted are "%%" and conversions of flags "-+ #0", a width and
// a precision of digits up to kMaxFieldWidth and one of d i u x X o c s, one for each argument
// in order and of its kind. Any other text is refused: `report` (if set) hears why, and the
// result is the text as it stands followed by the arguments, "Boot %n [4-2, 7]". An empty text
// gives an empty result: no language file.
std::string formatChecked(std::string_view text, const std::vector<FormatArg>& args,
                          const RefusalReport& report = {});
std::u16string formatChecked(std::u16string_view text, const std::vector<FormatArgW>& args,
                             const RefusalReportW& report = {});

}  // namespace cv50::apps
