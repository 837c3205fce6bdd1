#include "ui/ControlClasses.h"

#include <map>

#include "runtime/Errors.h"
#include "ui/Button.h"
#include "ui/Label.h"
#include "ui/Memo.h"
#include "ui/PaintBox.h"
#include "ui/Panel.h"

namespace qmk {

namespace {

const std::map<std::string, TControlFactory>& Classes() {
    static const std::map<std::string, TControlFactory> classes = {
        {"TLabel", [] { return std::make_unique<TLabel>(); }},
        {"TButton", [] { return std::make_unique<TButton>(); }},
        {"TMemo", [] { return std::make_unique<TMemo>(); }},
        {"TPanel", [] { return std::make_unique<TPanel>(); }},
        {"TPaintBox", [] { return std::make_unique<TPaintBox>(); }},
    };
    return classes;
}

}  // namespace

std::unique_ptr<TControl> CreateControlOfClass(const std::string& className) {
    const auto it = Classes().find(className);
    if (it == Classes().end()) {
        throw EResNotFound(texts::FormatText(texts::ClassMissing.Cp932, {className}));
    }
    return it->second();
}

}  // namespace qmk
