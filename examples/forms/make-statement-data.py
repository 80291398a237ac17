#!/usr/bin/python3
"""Writes the data of the monthly statement: LINES delivery lines (1,000 by
default) over the days of one month, in delivery-date order, with quantities
and unit prices that have decimals, so that the amounts are exact decimals
rounded down to whole yen.

    make-statement-data.py OUT.json [LINES]
"""
import json
import sys
from decimal import Decimal, ROUND_DOWN

PRODUCTS = [
    ("六角ボルト M8×30 ステンレス", Decimal("24.75")),
    ("六角ナット M8 ステンレス", Decimal("8.50")),
    ("平座金 M8 ステンレス", Decimal("3.20")),
    ("結束バンド 耐候性 黒 150mm", Decimal("12.60")),
    ("電線 VVF 2.0mm×2C（m売り）", Decimal("96.40")),
    ("配管テープ 灰 10m", Decimal("118.00")),
    ("コーキング材 白 330ml", Decimal("398.00")),
    ("ステンレス針金 0.9mm×30m", Decimal("452.00")),
]


def main():
    out = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 1000
    lines = []
    for i in range(count):
        day = 1 + i * 30 // count
        name, price = PRODUCTS[(i * 3 + i // 7) % len(PRODUCTS)]
        quantity = Decimal(10 + (i * 37) % 190) + (Decimal("0.5") if i % 5 == 0 else 0)
        amount = (quantity * price).quantize(Decimal(1), rounding=ROUND_DOWN)
        lines.append({
            "date": f"2026/11/{day:02d}",
            "slip": f"D{100000 + i // 4}",
            "name": name,
            "quantity": float(quantity) if quantity % 1 else int(quantity),
            "unit_price": float(price),
            "amount": int(amount),
        })
    data = {
        "customer": {"name": "株式会社 山田建設"},
        "issuer": {"name": "株式会社 サンプル金物", "registration_number": "T9876543210987"},
        "period": "2026年11月1日〜11月30日",
        "lines": lines,
    }
    with open(out, "w", encoding="utf-8") as f:
        json.dump(data, f, ensure_ascii=False)


if __name__ == "__main__":
    main()
