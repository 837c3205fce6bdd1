// Control classes by the class names a window description uses.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "ui/Control.h"

namespace qmk {

using TControlFactory = std::function<std::unique_ptr<TControl>()>;

// TLabel, TButton, TMemo, TPanel and TPaintBox are known from the start.
void RegisterControlClass(const std::string& className, TControlFactory factory);
// Raises EResNotFound for a class nobody registered.
std::unique_ptr<TControl> CreateControlOfClass(const std::string& className);

}  // namespace qmk
