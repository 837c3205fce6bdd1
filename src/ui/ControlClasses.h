// Control classes by the class names a window description uses.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "ui/Control.h"

namespace qmk {

using TControlFactory = std::function<std::unique_ptr<TControl>()>;

// TLabel, TButton, TMemo, TPanel and TPaintBox; raises EResNotFound for
// any other class name.
std::unique_ptr<TControl> CreateControlOfClass(const std::string& className);

}  // namespace qmk
