# The module as help() and type checkers see it: typed signatures named as
# the C++ parameters, a docstring for every member, and a stub (kt482.pyi)
# that says the same as the module.
import ast
import pathlib
import pydoc
import re

import pytest

import kt482

STUB = pathlib.Path(__file__).resolve().parent.parent / "kt482.pyi"


def stub_tree():
    return ast.parse(STUB.read_text(encoding="utf-8"))


def stub_signature(fn):
    """'name(self, a: int = 0) -> None' from a stub's function."""

    def one(arg, default):
        text = arg.arg + (f": {ast.unparse(arg.annotation)}" if arg.annotation else "")
        return text if default is None else f"{text} = {ast.unparse(default)}"

    args = fn.args
    positional = args.args
    defaults = [None] * (len(positional) - len(args.defaults)) + list(args.defaults)
    parts = [one(a, d) for a, d in zip(positional, defaults)]
    if args.kwonlyargs:
        parts.append("*")
        parts += [one(a, d) for a, d in zip(args.kwonlyargs, args.kw_defaults)]
    return f"{fn.name}({', '.join(parts)}) -> {ast.unparse(fn.returns)}"


def runtime_signature(obj):
    """The signature line pybind11 puts first in a docstring, as the stub writes it."""
    first = obj.__doc__.splitlines()[0]
    first = re.sub(r"self: kt482\.\w+", "self", first).replace("kt482.", "")
    return first.replace("List[", "list[").replace("Tuple[", "tuple[")


def is_property(fn):
    return any(ast.unparse(d) == "property" or ast.unparse(d).endswith(".setter") for d in fn.decorator_list)


def stub_class(name):
    return next(n for n in stub_tree().body if isinstance(n, ast.ClassDef) and n.name == name)


def stub_members():
    """(methods by name, properties by name -> (type, writable)) of the stub's KT482_Print."""
    methods, properties = {}, {}
    for fn in stub_class("KT482_Print").body:
        if not isinstance(fn, ast.FunctionDef):
            continue
        if not is_property(fn):
            methods[fn.name] = fn
        elif ast.unparse(fn.decorator_list[0]) == "property":
            properties[fn.name] = (ast.unparse(fn.returns), False)
        else:
            properties[fn.name] = (properties[fn.name][0], True)
    return methods, properties


def runtime_members():
    methods, properties = {}, {}
    for name, attribute in vars(kt482.KT482_Print).items():
        if name.startswith("_") and name != "__init__":
            continue
        if isinstance(attribute, property):
            kind = runtime_signature(attribute.fget).rsplit("-> ", 1)[1]
            properties[name] = (kind, attribute.fset is not None)
        else:
            methods[name] = getattr(kt482.KT482_Print, name)
    return methods, properties


def test_the_stub_and_the_module_name_the_same_members():
    stub_methods, stub_properties = stub_members()
    methods, properties = runtime_members()
    assert sorted(stub_methods) == sorted(methods)
    assert sorted(stub_properties) == sorted(properties)


def test_every_method_has_the_stubs_signature():
    stub_methods, _ = stub_members()
    for name, fn in stub_methods.items():
        assert runtime_signature(getattr(kt482.KT482_Print, name)) == stub_signature(fn), name
    for name in ("members", "set_message_handler"):
        fn = next(n for n in stub_tree().body if isinstance(n, ast.FunctionDef) and n.name == name)
        assert runtime_signature(getattr(kt482, name)) == stub_signature(fn)


def test_every_property_has_the_stubs_type_and_access():
    _, stub_properties = stub_members()
    _, properties = runtime_members()
    for name, (kind, writable) in properties.items():
        # The object references are None between documents.
        assert stub_properties[name] in ((kind, writable), (f"{kind} | None", writable)), name


def test_keywords_are_the_cpp_parameter_names():
    for name, _dispid, kind, params in kt482.members():
        if kind != "method":
            continue
        signature = runtime_signature(getattr(kt482.KT482_Print, name))
        assert re.findall(r"(\w+):", signature.split("(", 1)[1]) == params, name


@pytest.mark.parametrize(
    "member, parameters",
    [
        ("E_String", "P_Data_Srow: float, P_Data_Scol: float, P_Data_str: str | int | float | None | bool"),
        ("E_DrawStyle", "P_Line_Style: int, P_Line_Width: int"),
        ("E_Font", "P_Font_Name: str, P_Font_Size: float, P_Font_Bold: bool, P_Row_Margin: float"),
        ("W_StartDoc", "P_Size: int, P_Orient: int, P_Height: float = 0.0, P_Width: float = 0.0"),
        ("W_Device", "P_PrinterName: str = ''"),
    ],
)
def test_help_shows_the_python_types(member, parameters):
    assert f"{member}(self: kt482.KT482_Print, {parameters}) -> None" in pydoc.render_doc(kt482.KT482_Print, renderer=pydoc.plaintext)


def test_every_member_and_property_has_a_docstring():
    methods, properties = runtime_members()
    for name, method in methods.items():
        text = method.__doc__.split("\n", 1)[1].strip()
        assert len(text) > 20, name
    for name in properties:
        assert len(getattr(kt482.KT482_Print, name).__doc__ or "") > 20, name
