// The root of the drawing layer's objects, and the change event they fire.
#pragma once

namespace qmk {

class TPersistent {
public:
    virtual ~TPersistent() = default;
};

// A method pointer as an event field holds it: the object and a plain
// function that calls the method on it. Two words, no allocation, so firing
// an event costs one test and one indirect call.
class TChangeEvent {
public:
    using Code = void (*)(void* object, TPersistent* sender);

    constexpr TChangeEvent() = default;
    constexpr TChangeEvent(Code code, void* object) : code_(code), object_(object) {}

    // TChangeEvent::Bind<&T::Method>(object), Method taking (TPersistent*).
    template <auto Method, class T>
    static TChangeEvent Bind(T* object) {
        return TChangeEvent(
            [](void* target, TPersistent* sender) { (static_cast<T*>(target)->*Method)(sender); },
            object);
    }

    explicit operator bool() const { return code_ != nullptr; }
    void operator()(TPersistent* sender) const { code_(object_, sender); }
    friend bool operator==(const TChangeEvent&, const TChangeEvent&) = default;

private:
    Code code_ = nullptr;
    void* object_ = nullptr;
};

}  // namespace qmk
