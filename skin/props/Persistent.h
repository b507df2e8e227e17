#pragma once
// The base of the skin's property sets: objects a form fills in and that can be assigned one to
// another. Assigning between different classes is a programming error reported as an invalid cast.

#include <functional>
#include <typeinfo>

namespace skin {

class InvalidCast : public std::bad_cast {
  public:
    const char* what() const noexcept override { return "Invalid class typecast"; }
};

class GsPersistent {
  public:
    virtual ~GsPersistent() = default;
    // Takes over the source's values; throws InvalidCast when the source is of another class.
    virtual void Assign(const GsPersistent& source) = 0;

  protected:
    // The source as the caller's own class, or InvalidCast.
    template <typename Same>
    static const Same& sameClass(const GsPersistent& source, const Same& target) {
        if (typeid(source) != typeid(target)) throw InvalidCast();
        return static_cast<const Same&>(source);
    }
};

// Tells who changed; an empty event tells nobody.
using ChangeEvent = std::function<void(GsPersistent& sender)>;

}  // namespace skin
