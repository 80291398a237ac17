// The Python module kt482: KT482_Print with every member of its member table
// under its own name, properties as Python properties, optional parameters
// as keyword defaults. Arguments convert from None, bool, int, float and str
// by the rules of the late-bound calls, so a text that is not a number given
// for a number is a type mismatch reported like any failure of the member.
//
// A failure is reported as in C++, with the standard message, and the member
// returns normally; KT482_Print(raise_errors=True) raises kt482.Error with the
// error number, description and procedure instead.
#include <pybind11/eval.h>
#include <pybind11/functional.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "kt482/kt482.h"

namespace py = pybind11;
using namespace py::literals;

namespace kt482 {
namespace {

// Python values as automation values. bool comes first: it is an int too.
Variant to_variant(const py::handle& value)
{
    if (value.is_none())
        return Variant::null();
    if (py::isinstance<py::bool_>(value))
        return Variant(value.cast<bool>());
    if (py::isinstance<py::int_>(value)) {
        int overflow = 0;
        const long long n = PyLong_AsLongLongAndOverflow(value.ptr(), &overflow);
        if (overflow == 0)
            return Variant(n);
        return Variant(PyLong_AsDouble(value.ptr()));  // raises OverflowError beyond a double
    }
    if (py::isinstance<py::float_>(value))
        return Variant(value.cast<double>());
    if (py::isinstance<py::str>(value))
        return Variant(value.cast<std::string>());
    throw py::type_error("kt482: a value must be None, bool, int, float or str, not "
                         + std::string(py::str(py::type::handle_of(value).attr("__name__"))));
}

py::object to_python(const Variant& value)
{
    switch (value.type()) {
    case Variant::Type::Empty:
    case Variant::Type::Null: return py::none();
    case Variant::Type::Bool: return py::bool_(value.as_bool());
    case Variant::Type::I2: return py::int_(value.as_i2());
    case Variant::Type::I4: return py::int_(value.as_i4());
    case Variant::Type::R4: return py::float_(value.as_r4());
    case Variant::Type::R8: return py::float_(value.as_r8());
    case Variant::Type::Text: return py::str(value.as_text());
    }
    return py::none();
}

// kt482.Error, made at import and kept for the life of the process.
py::handle error_class;

// Raise mode: failure messages are held back for the exception; any other
// message goes to the host's handler, or to standard error.
class HeldMessages {
public:
    HeldMessages()
    {
        previous_ = KT482_Print::SetMessageHandler([this](const Message& m) {
            if (m.buttons == 48)
                return 1;
            if (previous_)
                return previous_(m);
            std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(m.title.size()), m.title.data(),
                         static_cast<int>(m.text.size()), m.text.data());
            return 1;
        });
    }
    ~HeldMessages() { KT482_Print::SetMessageHandler(std::move(previous_)); }
    HeldMessages(const HeldMessages&) = delete;
    HeldMessages& operator=(const HeldMessages&) = delete;

private:
    MessageHandler previous_;
};

class PyPrint {
public:
    // Creation asks the print server for the default printer: without the
    // interpreter lock, and a failure raised in raise mode like a member's.
    explicit PyPrint(bool raise_errors) : raise_errors_(raise_errors)
    {
        {
            py::gil_scoped_release unlocked;
            std::optional<HeldMessages> held;
            if (raise_errors_)
                held.emplace();
            job_.emplace();
        }
        raise_last_failure();
    }

    KT482_Print& job() { return *job_; }
    bool raise_errors() const { return raise_errors_; }

    // Runs one call of the object without the interpreter lock (a preview
    // window runs its own event loop), raising its failure in raise mode.
    template <class Body>
    auto run(const char* name, Body&& body)
    {
        if (raise_errors_)
            job().ClearLastFailure();
        auto result = [&] {
            py::gil_scoped_release unlocked;
            std::optional<HeldMessages> held;
            if (raise_errors_)
                held.emplace();
            return body();
        }();
        if constexpr (std::is_same_v<decltype(result), InvokeResult>) {
            if (result.status != InvokeStatus::Ok)
                throw std::runtime_error(std::string("kt482: the late-bound call of ") + name + " failed");
        }
        raise_last_failure();
        return result;
    }

    py::object call(const char* name, MemberKind kind, const std::vector<py::object>& args = {})
    {
        std::vector<Variant> values;
        values.reserve(args.size());
        for (const py::object& a : args)
            values.push_back(to_variant(a));
        return to_python(run(name, [&] { return job().Invoke(name, kind, values); }).value);
    }

    void raise_last_failure()
    {
        if (!raise_errors_ || job().LastFailure().number == 0)
            return;
        const FailureReport& f = job().LastFailure();
        py::object error = error_class(f.number, f.description, f.procedure);
        PyErr_SetObject(error_class.ptr(), error.ptr());
        throw py::error_already_set();
    }

private:
    bool raise_errors_;
    std::optional<KT482_Print> job_;
};

constexpr auto Method = MemberKind::Method;

void def_property(py::class_<PyPrint>& cls, const char* name, bool writable)
{
    py::cpp_function get([name](PyPrint& p) { return p.call(name, MemberKind::PropertyGet); });
    if (!writable) {
        cls.def_property_readonly(name, get);
        return;
    }
    py::cpp_function set([name](PyPrint& p, py::object v) { p.call(name, MemberKind::PropertyLet, {v}); });
    cls.def_property(name, get, set);
}

MessageHandler python_handler(py::function callback)
{
    // The callable is shared so that copies of the handler made without the
    // interpreter lock never touch its reference count.
    auto held = std::shared_ptr<py::function>(new py::function(std::move(callback)), [](py::function* f) {
        py::gil_scoped_acquire locked;
        delete f;
    });
    return [held](const Message& m) {
        py::gil_scoped_acquire locked;
        try {
            py::object answer = (*held)(std::string(m.title), std::string(m.text), m.buttons);
            return answer.is_none() ? 1 : answer.cast<int>();
        } catch (py::error_already_set& e) {
            e.discard_as_unraisable("kt482 message handler");
        } catch (const py::cast_error&) {
            PyErr_WarnEx(PyExc_RuntimeWarning, "kt482: a message handler returned no int; taken as 1", 1);
        }
        return 1;
    };
}

const char* kind_name(MemberKind kind)
{
    switch (kind) {
    case MemberKind::Method: return "method";
    case MemberKind::PropertyGet: return "get";
    case MemberKind::PropertyLet: return "let";
    case MemberKind::PropertySet: return "set";
    }
    return "";
}

}  // namespace
}  // namespace kt482

PYBIND11_MODULE(kt482, m)
{
    using namespace kt482;
    m.doc() = "Form printing on a character grid: record, preview and print business forms.";
    m.attr("__version__") = KT482_VERSION_STRING;

    py::dict scope;
    py::exec(R"py(
class Error(Exception):
    """A failure a member of KT482_Print reported: number, description, procedure."""

    def __init__(self, number, description, procedure):
        super().__init__(number, description, procedure)
        self.number = number
        self.description = description
        self.procedure = procedure

    def __str__(self):
        return f"KT482_Print : {self.procedure}: {self.description} (error {self.number})"
)py",
             py::globals(), scope);
    error_class = py::object(scope["Error"]).release();
    error_class.attr("__module__") = "kt482";
    m.attr("Error") = error_class;

    py::class_<FailureReport>(m, "FailureReport")
        .def_readonly("number", &FailureReport::number)
        .def_readonly("description", &FailureReport::description)
        .def_readonly("procedure", &FailureReport::procedure)
        .def("__bool__", [](const FailureReport& f) { return f.number != 0; })
        .def("__repr__", [](const FailureReport& f) {
            return "FailureReport(" + std::to_string(f.number) + ", " + std::string(py::repr(py::str(f.description)))
                   + ", " + std::string(py::repr(py::str(f.procedure))) + ")";
        });

    // A drawing target reference (P_PRINT, P_PREVIEW): opaque to Python.
    py::class_<DrawSurface, std::shared_ptr<DrawSurface>>(m, "DrawSurface");

    m.def(
        "members",
        [] {
            py::list out;
            for (const MemberInfo& member : member_table()) {
                py::list params;
                for (const ParamInfo& p : member.params)
                    params.append(std::string(p.name));
                out.append(py::make_tuple(std::string(member.name), member.dispid, kind_name(member.kind), params));
            }
            return out;
        },
        "The member table: (name, dispid, kind, parameter names) in interface order; kind is "
        "'method', 'get', 'let' or 'set'.");

    m.def(
        "set_message_handler",
        [](py::object handler) {
            KT482_Print::SetMessageHandler(handler.is_none() ? MessageHandler()
                                                             : python_handler(handler.cast<py::function>()));
        },
        "handler"_a,
        "Installs handler(title, text, buttons) -> int for this thread's messages instead of the message "
        "box or the standard-error line; None restores them.");
    // The handler holds a Python callable: let it go while the interpreter lives.
    py::module_::import("atexit").attr("register")(
        py::cpp_function([] { KT482_Print::SetMessageHandler({}); }));

    py::class_<PyPrint> cls(m, "KT482_Print");
    cls.def(py::init<bool>(), py::kw_only(), "raise_errors"_a = false)
        .def_property_readonly("raise_errors", &PyPrint::raise_errors);

    // Object references.
    for (const char* name : {"P_PRINT", "P_PREVIEW"}) {
        const bool print = std::string(name) == "P_PRINT";
        cls.def_property(
            name,
            [print](PyPrint& p) { return print ? p.job().P_PRINT() : p.job().P_PREVIEW(); },
            [print](PyPrint& p, std::shared_ptr<DrawSurface> surface) {
                print ? p.job().P_PRINT(std::move(surface)) : p.job().P_PREVIEW(std::move(surface));
            });
    }

    def_property(cls, "P_Temp_Dir", true);
    def_property(cls, "P_Bairitu", true);
    def_property(cls, "P_CurrPage", false);
    def_property(cls, "P_Min_Page", false);
    def_property(cls, "P_Max_Page", false);
    def_property(cls, "P_PRT_Copy", true);
    def_property(cls, "P_CheckEnd", false);
    def_property(cls, "P_CheckData", false);
    def_property(cls, "P_PaperSize", false);
    def_property(cls, "P_Orientation", false);
    def_property(cls, "P_TopMargin", true);
    def_property(cls, "P_LeftMargin", true);
    def_property(cls, "P_RowPitch", false);
    def_property(cls, "P_ColPitch", false);

    using O = py::object;
    // The editing session.
    cls.def("E_StartEdit", [](PyPrint& p, O cur, O start, O end) { p.call("E_StartEdit", Method, {cur, start, end}); },
            "P_CurrP"_a = 0, "P_StartP"_a = 0, "P_EndP"_a = 0);
    cls.def("E_ChangePage", [](PyPrint& p, O page) { p.call("E_ChangePage", Method, {page}); }, "P_NewP"_a = 0);
    cls.def("E_EndEdit", [](PyPrint& p) { p.call("E_EndEdit", Method); });
    cls.def("E_Clear", [](PyPrint& p) { p.call("E_Clear", Method); });

    // Layout commands.
    cls.def("E_Pitch", [](PyPrint& p, O row, O col) { p.call("E_Pitch", Method, {row, col}); }, "P_Row_Pitch"_a,
            "P_Col_Pitch"_a);
    cls.def(
        "E_Font", [](PyPrint& p, O name, O size, O bold, O margin) { p.call("E_Font", Method, {name, size, bold, margin}); },
        "P_Font_Name"_a, "P_Font_Size"_a, "P_Font_Bold"_a, "P_Row_Margin"_a);
    cls.def("E_DrawStyle", [](PyPrint& p, O style, O width) { p.call("E_DrawStyle", Method, {style, width}); },
            "P_Line_Style"_a, "P_Line_Width"_a);
    for (const char* name : {"E_Line", "E_Keisen"}) {
        cls.def(
            name, [name](PyPrint& p, O r1, O c1, O r2, O c2) { p.call(name, Method, {r1, c1, r2, c2}); },
            "P_Start_Srow"_a, "P_Start_Scol"_a, "P_End_Srow"_a, "P_End_Scol"_a);
    }
    for (const char* name : {"E_Line_Hor", "E_Line_Vrt"}) {
        cls.def(
            name, [name](PyPrint& p, O row, O col, O rows, O cols) { p.call(name, Method, {row, col, rows, cols}); },
            "P_SBase_Row"_a, "P_SBase_Col"_a, "P_CLine_Row"_a, "P_CLine_Col"_a);
    }
    for (const char* name : {"E_String", "E_String_Right"}) {
        cls.def(
            name, [name](PyPrint& p, O row, O col, O text) { p.call(name, Method, {row, col, text}); },
            "P_Data_Srow"_a, "P_Data_Scol"_a, "P_Data_str"_a);
    }
    for (const char* name : {"E_String_Kin", "E_String_Center", "E_String_Left"}) {
        cls.def(
            name, [name](PyPrint& p, O row, O col, O text, O length) { p.call(name, Method, {row, col, text, length}); },
            "P_Data_Srow"_a, "P_Data_Scol"_a, "P_Data_str"_a, "P_Out_Length"_a);
    }
    cls.def(
        "E_Numeric",
        [](PyPrint& p, O row, O col, O value, O picture) { p.call("E_Numeric", Method, {row, col, value, picture}); },
        "P_Data_Srow"_a, "P_Data_Scol"_a, "P_Data_Num"_a, "P_Data_Format"_a);

    // Printing.
    cls.def("W_Device", [](PyPrint& p, O name) { p.call("W_Device", Method, {name}); }, "P_PrinterName"_a = "");
    cls.def(
        "W_StartDoc",
        [](PyPrint& p, O size, O orient, O height, O width) { p.call("W_StartDoc", Method, {size, orient, height, width}); },
        "P_Size"_a, "P_Orient"_a, "P_Height"_a = 0, "P_Width"_a = 0);
    cls.def("W_Print", [](PyPrint& p, O start, O end) { p.call("W_Print", Method, {start, end}); }, "P_StartP"_a = 0,
            "P_EndP"_a = 0);
    cls.def("W_EndDoc", [](PyPrint& p) { p.call("W_EndDoc", Method); });

    // Preview.
    cls.def(
        "V_Size_Set",
        [](PyPrint& p, O size, O orient, O height, O width) { p.call("V_Size_Set", Method, {size, orient, height, width}); },
        "P_Size"_a, "P_Orient"_a, "P_Height"_a = 0, "P_Width"_a = 0);
    cls.def("V_Preview", [](PyPrint& p, O start, O end) { p.call("V_Preview", Method, {start, end}); }, "P_StartP"_a = 0,
            "P_EndP"_a = 0);

    // The printer-setup dialog takes a window id, which late-bound calls
    // cannot pass, so its arguments convert as Python types.
    cls.def(
        "W_PrtDialog",
        [](PyPrint& p, std::optional<uintptr_t> form, const std::string& printer, int16_t size, int16_t orient,
           float height, float width) {
            return p.run("W_PrtDialog", [&] {
                return p.job().W_PrtDialog(form.value_or(0), printer, size, orient, height, width);
            });
        },
        "P_Form"_a = py::none(), "P_PrinterName"_a = "", "P_Size"_a = 0, "P_Orient"_a = 0, "P_Height"_a = 0.0f,
        "P_Width"_a = 0.0f);

    cls.def("Answer", [](PyPrint& p) { return to_python(p.job().Answer()); },
            "The button of the last message (None until one is shown).");

    // Host additions.
    cls.def("LastFailure", [](PyPrint& p) { return p.job().LastFailure(); },
            "The last failure a member reported (number 0 when none).");
    cls.def("ClearLastFailure", [](PyPrint& p) { p.job().ClearLastFailure(); });
    cls.def("SetNextPdfPath", [](PyPrint& p, const std::string& path) { p.job().SetNextPdfPath(path); }, "path"_a,
            "The file the next document on \"KT482 PDF\" is written to (empty: the printer's folder).");
    cls.def("LastPdfPath", [](PyPrint& p) { return p.job().LastPdfPath(); },
            "Where the last PDF document went (empty before the first).");
    // Pictures, fills and colour, late-bound like the layout commands.
    cls.def(
        "E_Image",
        [](PyPrint& p, O r1, O c1, O r2, O c2, O file, O fit) { p.call("E_Image", Method, {r1, c1, r2, c2, file, fit}); },
        "P_Start_Srow"_a, "P_Start_Scol"_a, "P_End_Srow"_a, "P_End_Scol"_a, "P_File"_a, "P_Fit"_a = 0,
        "Draws a PNG or JPEG file into the box; P_Fit 0 keeps its proportions, 1 stretches it.");
    cls.def(
        "E_Fill", [](PyPrint& p, O r1, O c1, O r2, O c2, O color) { p.call("E_Fill", Method, {r1, c1, r2, c2, color}); },
        "P_Start_Srow"_a, "P_Start_Scol"_a, "P_End_Srow"_a, "P_End_Scol"_a, "P_Color"_a,
        "Fills the box in P_Color (0xRRGGBB).");
    cls.def("E_Color", [](PyPrint& p, O color) { p.call("E_Color", Method, {color}); }, "P_Color"_a,
            "The colour (0xRRGGBB) of the texts and lines recorded after it on this page.");
}
