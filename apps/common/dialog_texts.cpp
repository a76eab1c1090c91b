#include "apps/common/dialog_texts.h"

#include "apps/common/language_files.h"
#include "apps/common/text_forms.h"

namespace cv50::apps {
namespace {

bool sameAsciiNoCase(std::u16string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char16_t x = a[i] >= 'A' && a[i] <= 'Z' ? char16_t(a[i] + 0x20) : a[i];
        const char y = b[i] >= 'A' && b[i] <= 'Z' ? char(b[i] + 0x20) : b[i];
        if (x != static_cast<unsigned char>(y)) return false;
    }
    return true;
}

bool takesText(const DialogChild& child) {
    return child.id != -1 && (sameAsciiNoCase(child.className, "button") ||
                              sameAsciiNoCase(child.className, "static"));
}

template <class Form>
BasicDialogTexts<typename Form::Text> textsOf(const typename Form::Text& file, int dialogId,
                                              const std::vector<DialogChild>& children) {
    using Text = typename Form::Text;
    BasicDialogTexts<Text> texts;
    if (file.empty()) return texts;
    const Text dialog = Form::ascii("IDD" + std::to_string(dialogId) + "_");
    const auto read = [&](const Text& key) {
        return Form::read(file, Form::ascii("String"), key, kLanguageTextSize);
    };
    if (Text title = read(dialog + Form::ascii("TITLE")); !title.empty())
        texts.caption = title + Form::ascii(kCaptionVersion);
    for (std::size_t i = 0; i < children.size(); ++i) {
        if (!takesText(children[i])) continue;
        if (Text text = read(dialog + Form::ascii(std::to_string(children[i].id))); !text.empty())
            texts.children.push_back({i, std::move(text)});
    }
    return texts;
}

}  // namespace

DialogTexts dialogTexts(const std::string& file, int dialogId,
                        const std::vector<DialogChild>& children) {
    return textsOf<detail::NarrowForm>(file, dialogId, children);
}

DialogTextsW dialogTexts(const std::u16string& file, int dialogId,
                         const std::vector<DialogChild>& children) {
    return textsOf<detail::WideForm>(file, dialogId, children);
}

}  // namespace cv50::apps
