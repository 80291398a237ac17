// A number item that ends at a column is written as text: its picture's
// literal prefix and suffix around the digits, a comma every three digits
// when the picture groups, and as many decimals as the picture has places.
// "￥#,##0" gives "￥12,345"; "#,##0.00" gives "1,234.50"; a '#' after
// the point shows its digit unless it is a trailing zero ("#,##0.#" gives
// "47" and "10.5"); a picture without a 0 leaves zero blank.
#pragma once

#include <string>
#include <string_view>

#include "form/decimal.h"

namespace kt482::form {

std::string picture_text(std::string_view picture, const Decimal& value);

}  // namespace kt482::form
