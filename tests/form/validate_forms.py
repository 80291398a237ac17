#!/usr/bin/env python3
"""Checks every form template in examples/forms against docs/form.schema.json,
and that the schema refuses what the loader refuses: an unknown key, a
misspelt item type, a colour that is not #RRGGBB.

    validate_forms.py SOURCE-ROOT
"""
import json
import pathlib
import sys

import jsonschema


def main():
    root = pathlib.Path(sys.argv[1])
    schema = json.loads((root / "docs/form.schema.json").read_text(encoding="utf-8"))
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)
    templates = [p for p in sorted((root / "examples/forms").glob("*.json")) if "data" not in p.name]
    assert len(templates) >= 3, templates
    failures = 0
    for path in templates:
        for error in validator.iter_errors(json.loads(path.read_text(encoding="utf-8"))):
            print(f"{path.name}: {'/'.join(map(str, error.absolute_path))}: {error.message}")
            failures += 1
    invoice = json.loads((root / "examples/forms/qualified-invoice.json").read_text(encoding="utf-8"))
    broken = [
        ("unknown top key", lambda t: t.update(pages={})),
        ("unknown item key", lambda t: t["every_page"][0].update(colour="#000000")),
        ("unknown item type", lambda t: t["every_page"][0].update(type="txt")),
        ("bad colour", lambda t: t["list"]["shade"].update(color="blue")),
        ("rows_per_page and last_row", lambda t: t["list"].update(last_row=40)),
        ("fit without a width", lambda t: t["every_page"][1].update(fit="shrink", width=None) or t["every_page"][1].pop("width")),
        ("fit of an unknown name", lambda t: t["every_page"][1].update(fit="squeeze")),
        ("rows without wrap", lambda t: t["every_page"][1].update(fit="clip", rows=2)),
    ]
    for name, damage in broken:
        template = json.loads(json.dumps(invoice))
        damage(template)
        if validator.is_valid(template):
            print(f"the schema accepts a template with a {name}")
            failures += 1
    print(f"{len(templates)} templates checked, {failures} problems")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
