// Reference counting shared by every object the library hands out.
#pragma once

#include <atomic>
#include <cstdint>

namespace fbdrv {

template <class Interface>
class RefCounted : public Interface {
public:
    std::uint32_t addRef() override { return ++references_; }
    std::uint32_t release() override {
        std::uint32_t left = --references_;
        if (left == 0) delete this;
        return left;
    }

protected:
    RefCounted() = default;
    virtual ~RefCounted() = default;

private:
    std::atomic<std::uint32_t> references_{1};
};

// Takes one more reference for the lifetime of the holder.
template <class T>
class Retained {
public:
    explicit Retained(T* object) : object_(object) { object_->addRef(); }
    Retained(const Retained&) = delete;
    Retained& operator=(const Retained&) = delete;
    ~Retained() { object_->release(); }
    T* operator->() const { return object_; }
    T& operator*() const { return *object_; }
    T* get() const { return object_; }

private:
    T* object_;
};

}  // namespace fbdrv
