#include "kt482/variant.h"

namespace kt482 {

Variant Variant::null()
{
    Variant v;
    v.value_ = NullTag{};
    return v;
}

bool Variant::is_number() const
{
    switch (type()) {
    case Type::Bool:
    case Type::I2:
    case Type::I4:
    case Type::R4:
    case Type::R8:
        return true;
    default:
        return false;
    }
}

double Variant::number() const
{
    switch (type()) {
    case Type::Bool: return as_bool() ? -1.0 : 0.0;
    case Type::I2: return as_i2();
    case Type::I4: return as_i4();
    case Type::R4: return as_r4();
    case Type::R8: return as_r8();
    default: return 0.0;
    }
}

}  // namespace kt482
