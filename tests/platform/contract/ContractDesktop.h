// What every backend's contract tests need from it besides the seam: one
// desktop at a given screen depth, and the few things a test does as the
// user or another program would (typing, reading the clipboard). A backend
// joins the contract with one file that defines a maker type
//
//   struct Maker {
//       static std::vector<int> Depths();  // screen depths it supports
//       static std::unique_ptr<ContractDesktop> Open(int depth);
//   };
//
// and instantiates the suites of ContractSuite.h with it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Gdi.h"
#include "platform/Kernel.h"
#include "platform/User.h"

namespace qmk::platform::contract {

class ContractDesktop {
public:
    virtual ~ContractDesktop() = default;

    virtual Gdi& GdiPart() = 0;
    virtual User& UserPart() = 0;
    virtual Kernel& KernelPart() = 0;

    // The user presses and releases a letter or digit key (its vk:: code)
    // while the window has the keyboard focus.
    virtual void Type(WindowHandle window, std::uint32_t key) = 0;
    // What another program reading the clipboard gets, in code page 932;
    // nothing when it got no answer. May take the window's messages while
    // it waits, as the program's loop would.
    virtual std::optional<std::string> ReadClipboard() = 0;
    // The base name of the running program's file.
    virtual std::string ProgramBaseName() = 0;

    // Why the backend does not support a contract item (named as in
    // ContractSuite.h); empty when it does.
    virtual std::string Unsupported(std::string_view /*item*/) { return {}; }
};

}  // namespace qmk::platform::contract
