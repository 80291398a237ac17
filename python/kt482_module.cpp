// The Python module kt482: KT482_Print with every member under its own name,
// properties as Python properties, optional parameters as keyword defaults,
// each parameter typed as Python sees it (int, float, bool, str, and any of
// str | int | float | None | bool for a value).
//
// The members are bound from the library's member list, so a member's
// parameter names, types and optional ones cannot drift from the C++ ones;
// the call goes through the late-bound path, whose conversion rules report a
// number out of its parameter's range as the member's failure (6 Overflow).
// A value of the wrong Python type is a TypeError, an int no float can hold
// an OverflowError, both raised before the member runs.
//
// By default a failure raises kt482.Error with the error number, description
// and procedure; KT482_Print(raise_errors=False) shows the message as in C++
// and returns normally.
#include <pybind11/eval.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <atomic>
#include <cfloat>
#include <chrono>
#include <condition_variable>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "api/host_addition_list.h"
#include "api/member_list.h"
#include "kt482/form.h"
#include "kt482/kt482.h"

namespace py = pybind11;
using namespace py::literals;

namespace kt482 {

// An argument of a parameter of type T, already converted to an automation
// value, and a result of type T on its way to Python.
template <ParamType T>
struct Arg {
    Variant value;
};
template <ParamType T>
struct Ret {
    Variant value;
};
// A message handler from Python, or None.
struct HandlerArg {
    py::object callable;
};
// A native window id for W_PrtDialog, or None for no window (0).
struct WindowId {
    uintptr_t id = 0;
};

namespace {

// ---- Python values as automation values

// An int as a value: exact while it fits 64 bits, else the nearest double;
// beyond a double it is Python's OverflowError, as float() gives.
Variant int_to_variant(py::handle value)
{
    int overflow = 0;
    const long long n = PyLong_AsLongLongAndOverflow(value.ptr(), &overflow);
    if (n == -1 && PyErr_Occurred())
        throw py::error_already_set();
    if (overflow == 0)
        return Variant(n);
    const double wide = PyLong_AsDouble(value.ptr());
    if (wide == -1.0 && PyErr_Occurred())
        throw py::error_already_set();
    return Variant(wide);
}

// An int, or a number type with __index__ (numpy's integers). Not a float.
std::optional<Variant> load_int(py::handle value)
{
    if (PyLong_Check(value.ptr()))
        return int_to_variant(value);
    if (PyFloat_Check(value.ptr()) || !PyIndex_Check(value.ptr()))
        return std::nullopt;
    // An __index__ that raises leaves its own exception set; it is passed on
    // as it is rather than as a missing result.
    PyObject* index = PyNumber_Index(value.ptr());
    if (index == nullptr)
        throw py::error_already_set();
    return int_to_variant(py::reinterpret_steal<py::object>(index));
}

// A float or an int, or a number type with __float__ (Decimal, numpy's).
std::optional<Variant> load_float(py::handle value)
{
    if (PyFloat_Check(value.ptr()))
        return Variant(PyFloat_AS_DOUBLE(value.ptr()));
    if (auto whole = load_int(value))
        return whole;
    if (PyUnicode_Check(value.ptr()) || Py_TYPE(value.ptr())->tp_as_number == nullptr
        || Py_TYPE(value.ptr())->tp_as_number->nb_float == nullptr)
        return std::nullopt;
    const double d = PyFloat_AsDouble(value.ptr());
    if (d == -1.0 && PyErr_Occurred())
        throw py::error_already_set();
    return Variant(d);
}

std::optional<Variant> load_text(py::handle value)
{
    if (!PyUnicode_Check(value.ptr()))
        return std::nullopt;
    return Variant(value.cast<std::string>());
}

// Checked first by its callers: bool is an int too.
std::optional<Variant> load_bool(py::handle value)
{
    if (PyBool_Check(value.ptr()))
        return Variant(value.ptr() == Py_True);
    return std::nullopt;
}

std::optional<Variant> load_value(py::handle value)
{
    if (value.is_none())
        return Variant::null();
    if (auto b = load_bool(value))
        return b;
    if (auto text = load_text(value))
        return text;
    return load_float(value);
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

}  // namespace

// The Python side of each parameter type: the name its signatures show and
// the values it takes. A new parameter type gets its line here.
template <ParamType T>
struct PythonType;
template <>
struct PythonType<ParamType::I2> {
    static constexpr auto name = py::detail::const_name("int");
    // A bool counts as its int, 1 or 0.
    static std::optional<Variant> load(py::handle v) { return load_int(v); }
};
template <>
struct PythonType<ParamType::I4> {
    static constexpr auto name = py::detail::const_name("int");
    static std::optional<Variant> load(py::handle v) { return load_int(v); }
};
template <>
struct PythonType<ParamType::R4> {
    static constexpr auto name = py::detail::const_name("float");
    static std::optional<Variant> load(py::handle v) { return load_float(v); }
};
template <>
struct PythonType<ParamType::Bool> {
    static constexpr auto name = py::detail::const_name("bool");
    static std::optional<Variant> load(py::handle v)
    {
        if (auto b = load_bool(v))
            return b;
        return load_int(v);  // an int is taken as its truth
    }
};
template <>
struct PythonType<ParamType::Text> {
    static constexpr auto name = py::detail::const_name("str");
    static std::optional<Variant> load(py::handle v) { return load_text(v); }
};
template <>
struct PythonType<ParamType::Value> {
    static constexpr auto name = py::detail::const_name("str | int | float | None | bool");
    static std::optional<Variant> load(py::handle v) { return load_value(v); }
};

}  // namespace kt482

namespace pybind11::detail {

template <kt482::ParamType T>
struct type_caster<kt482::Arg<T>> {
    PYBIND11_TYPE_CASTER(kt482::Arg<T>, kt482::PythonType<T>::name);
    bool load(handle src, bool)
    {
        auto v = kt482::PythonType<T>::load(src);
        if (!v)
            return false;
        value.value = std::move(*v);
        return true;
    }
    static handle cast(const kt482::Arg<T>& a, return_value_policy, handle)
    {
        return kt482::to_python(a.value).release();
    }
};

template <kt482::ParamType T>
struct type_caster<kt482::Ret<T>> {
    PYBIND11_TYPE_CASTER(kt482::Ret<T>, kt482::PythonType<T>::name);
    bool load(handle, bool) { return false; }
    static handle cast(const kt482::Ret<T>& r, return_value_policy, handle)
    {
        return kt482::to_python(r.value).release();
    }
};

template <>
struct type_caster<kt482::HandlerArg> {
    PYBIND11_TYPE_CASTER(kt482::HandlerArg, const_name("Callable[[str, str, int], int | None] | None"));
    bool load(handle src, bool)
    {
        if (!src.is_none() && !PyCallable_Check(src.ptr()))
            return false;
        value.callable = reinterpret_borrow<object>(src);
        return true;
    }
    static handle cast(const kt482::HandlerArg& h, return_value_policy, handle) { return h.callable.inc_ref(); }
};

template <>
struct type_caster<kt482::WindowId> {
    PYBIND11_TYPE_CASTER(kt482::WindowId, const_name("int | None"));
    bool load(handle src, bool)
    {
        if (src.is_none())
            return true;
        if (!PyLong_Check(src.ptr()))
            return false;
        const unsigned long long id = PyLong_AsUnsignedLongLong(src.ptr());
        if (PyErr_Occurred())
            throw error_already_set();  // negative or beyond 64 bits: OverflowError
        value.id = static_cast<uintptr_t>(id);
        return true;
    }
    static handle cast(const kt482::WindowId& w, return_value_policy, handle) { return PyLong_FromSize_t(w.id); }
};

}  // namespace pybind11::detail

namespace kt482 {
namespace {

// ---- The interpreter lock around a member
//
// Taking the interpreter lock back once the interpreter has begun to
// finalise ends the thread: CPython calls pthread_exit, whose forced unwinding
// runs the thread's destructors up to its start. A destructor that may not
// throw (pybind11's gil_scoped_release) turns that unwinding into
// std::terminate and the process aborts at exit; this one lets it pass, and
// pybind11's dispatcher passes it on.
class LockReleased {
public:
    LockReleased() : state_(PyEval_SaveThread()) {}
    ~LockReleased() noexcept(false) { PyEval_RestoreThread(state_); }
    LockReleased(const LockReleased&) = delete;
    LockReleased& operator=(const LockReleased&) = delete;

private:
    PyThreadState* state_;
};

// ---- Message handlers written in Python
//
// The library keeps each thread's handler in thread-local storage, destroyed
// when the thread ends: possibly while the interpreter finalises, when taking
// the interpreter lock would end the thread inside a destructor. So the
// handler the library holds never touches Python to be destroyed: the
// callables live here, and references are dropped under the interpreter lock
// only, at the next install or at exit. After exit's release a handler still
// installed answers 1 without calling Python.
//
// A handler runs inside the library, whose frames must not be unwound by a
// thread's end. Exit's release therefore comes before the interpreter
// finalises (an atexit function) and waits, without the interpreter lock, for
// the calls already past the closed check, up to kExitWait; later calls
// answer 1 without taking the lock.
class HandlerRegistry {
public:
    struct Entry {
        PyObject* callable;  // a strong reference; null once released
    };

    // With the interpreter lock.
    std::shared_ptr<Entry> add(py::object callable)
    {
        collect();
        auto* entry = new Entry{callable.release().ptr()};
        std::lock_guard lock(mutex_);
        live_.insert(entry);
        return std::shared_ptr<Entry>(entry, [this](Entry* e) { forget(e); });
    }

    // With the interpreter lock: drops the references given up since. The
    // drops run outside the registry's lock, as they may run Python code.
    void collect()
    {
        std::vector<PyObject*> dropped;
        {
            std::lock_guard lock(mutex_);
            dropped.swap(released_);
        }
        for (PyObject* callable : dropped)
            Py_DECREF(callable);
    }

    // At exit, with the interpreter lock: releases every callable once the
    // calls in progress have returned.
    void close()
    {
        closed_ = true;
        {
            // Without the lock the calls in progress can take it, see the
            // registry closed, and return.
            LockReleased unlocked;
            std::unique_lock lock(mutex_);
            ended_.wait_for(lock, kExitWait, [this] { return calling_ == 0; });
        }
        std::vector<PyObject*> dropped;
        {
            std::lock_guard lock(mutex_);
            dropped.swap(released_);
            for (Entry* e : live_)
                dropped.push_back(std::exchange(e->callable, nullptr));
        }
        for (PyObject* callable : dropped)
            Py_XDECREF(callable);
    }

    int call(const Entry& entry, const Message& m)
    {
        Calling counted(*this);
        if (closed_)
            return 1;
        py::gil_scoped_acquire locked;
        if (closed_ || entry.callable == nullptr)
            return 1;
        // A reference of its own: the callable may be released while it runs.
        const auto callable = py::reinterpret_borrow<py::object>(entry.callable);
        try {
            py::object answer = callable(std::string(m.title), std::string(m.text), m.buttons);
            return answer.is_none() ? 1 : answer.cast<int>();
        } catch (py::error_already_set& e) {
            e.discard_as_unraisable("kt482 message handler");
        } catch (const py::cast_error&) {
            PyErr_WarnEx(PyExc_RuntimeWarning, "kt482: a message handler returned no int; taken as 1", 1);
        }
        return 1;
    }

private:
    static constexpr std::chrono::seconds kExitWait{3};

    // Counts a call in progress from before its closed check to its return.
    class Calling {
    public:
        explicit Calling(HandlerRegistry& r) : r_(r)
        {
            std::lock_guard lock(r_.mutex_);
            ++r_.calling_;
        }
        ~Calling()
        {
            std::lock_guard lock(r_.mutex_);
            if (--r_.calling_ == 0)
                r_.ended_.notify_all();
        }
        Calling(const Calling&) = delete;
        Calling& operator=(const Calling&) = delete;

    private:
        HandlerRegistry& r_;
    };

    // Any thread, with or without the interpreter lock: no Python here.
    void forget(Entry* e)
    {
        std::lock_guard lock(mutex_);
        live_.erase(e);
        if (e->callable != nullptr && !closed_)
            released_.push_back(e->callable);
        delete e;
    }

    std::mutex mutex_;
    std::set<Entry*> live_;
    std::vector<PyObject*> released_;
    std::atomic<bool> closed_{false};
    int calling_ = 0;
    std::condition_variable ended_;
};

// Made once and never destroyed: threads may drop their handlers while the
// process's static objects are being destroyed.
HandlerRegistry& handlers()
{
    static auto* registry = new HandlerRegistry;
    return *registry;
}

MessageHandler python_handler(py::object callback)
{
    std::shared_ptr<HandlerRegistry::Entry> entry = handlers().add(std::move(callback));
    return [entry](const Message& m) { return handlers().call(*entry, m); };
}

// ---- The object

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
            LockReleased unlocked;
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
            LockReleased unlocked;
            std::optional<HeldMessages> held;
            if (raise_errors_)
                held.emplace();
            return body();
        }();
        if constexpr (std::is_same_v<decltype(result), InvokeResult>) {
            if (result.status != InvokeStatus::Ok)
                throw std::runtime_error(std::string("kt482: the late-bound call of ") + name + " failed");
        }
        handlers().collect();
        raise_last_failure();
        return result;
    }

    Variant call(const char* name, int32_t dispid, MemberKind kind, std::vector<Variant> args = {})
    {
        return run(name, [&] { return job().Invoke(dispid, kind, args); }).value;
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

// ---- Binding the member list

// Every member's docstring: one or two sentences, then its failures. The
// numbers are the library's (6 Overflow, 13 Type mismatch, 52 Bad file name
// or number, 53 File not found, 70 Permission denied, 76 Path not found,
// 91 no output target, 482 Printer error).
#define KT482_LAYOUT_FAILURES                                                                         \
    "\n\nFailures: 52 without an open page (no E_StartEdit, or a preview or print since), 6 for a text " \
    "over 32,767 characters or a number out of range."
const std::map<std::string_view, const char*> kDocs{
    {"E_Barcode", "Draws a barcode or QR code into the box between the two grid corners as vector bars. P_Type: QR, "
                  "CODE128, GS1-128, JAN13 (EAN13), JAN8, NW7, ITF or POSTAL; P_Options: key=value pairs separated "
                  "by ';' (ecc=L|M|Q|H, text=1, quiet=N).\n\nFailures: 5 with the encoder's reason for data, type "
                  "or options it cannot take, 94 for null data, 52 without an open page."},
    {"SetPrintOffset", "Moves everything printed on the selected printer from its next document on: x_mm "
                       "rightwards, y_mm downwards (each -20 to 20). Selecting a queue gives it the offset stored "
                       "for it by kt482 calibrate.\n\nFailures: 380 for a value beyond 20 mm or not a number, 91 "
                       "without a selected printer."},
    {"V_Background", "Draws a PNG or JPEG file, or the first page of a PDF file, under every page of the preview "
                     "(never on a printer); an empty name clears it.\n\nFailures: 53 File not found, 481 for a "
                     "file that is no such picture."},
    {"V_BackgroundInPdf", "Whether the preview's \"save as PDF\" draws the background under its pages too (off at "
                          "first); printing never does."},
    {"P_PRT_Source", "The paper source of the selected queue's next documents (IPP media-source: auto, manual, "
                     "tray-1, ...); empty for the queue's own. W_Device clears it.\n\nFailures: 380 with "
                     "the sources the queue offers, 438 on a printer without sources, 482 when the print server "
                     "does not answer."},
    {"P_PRT_MediaType", "The paper kind of the selected queue's next documents (IPP media-type: stationery, "
                        "envelope, labels, ...); empty for the queue's own. W_Device clears it."
                        "\n\nFailures: 380 with the kinds the queue offers, 438 on a printer without kinds, 482 when "
                        "the print server does not answer."},
    {"LastJobId", "The print server's number of the job the last W_EndDoc sent to a queue (0 when none)."},
    {"JobState", "The job's state (pending, held, processing, stopped, canceled, aborted, completed) and its "
                 "printer's reasons (media-empty, media-jam, offline, paused, ...), asked within 3 seconds."
                 "\n\nFailures: 482 when the print server does not answer or knows no such job."},
    {"WaitForJob", "Waits up to seconds for the job to be completed, canceled or aborted: True when it was, "
                   "False when the time ran out.\n\nFailures: 5 for a time that is no number of seconds, 482 when "
                   "the print server does not answer or knows no such job."},
    {"AttachFile", "Attaches a file to each PDF document W_StartDoc starts from now on: its MIME type and its "
                   "relationship to the document (Data, Source, Alternative, Supplement or Unspecified); with "
                   "archiving on the documents are PDF/A-3u.\n\nFailures: 53 File not found, 380 for a file over "
                   "64 MiB, an unknown relationship or a malformed MIME type."},
    {"ClearAttachments", "Forgets the files AttachFile attached."},
    {"SetPdfEncryption", "AES-256 encryption of the PDF documents W_StartDoc starts from now on: the user's and the "
                         "owner's password and what a reader may do (PdfPermission values; 0 reading only, -1 "
                         "everything); empty passwords turn it off.\n\nFailures: 380 at W_StartDoc for an "
                         "archived document."},
    {"SetPdfSignature", "Signs the PDF documents W_StartDoc starts from now on with the certificate and key of a "
                        "PKCS#12 file (an empty path turns it off).\n\nFailures at W_StartDoc: 53 for a missing "
                        "file, 70 for a wrong password, 380 for an expired certificate or one not allowed to sign."},
    {"SetPdfSignatureBox", "Makes the signature visible: a box between two grid corners of a page (0: invisible) "
                           "with the seal picture and the signer's name."},
    {"SetPdfTimestamp", "A trusted timestamp (RFC 3161) from the authority at an http:// address, in the "
                        "signature or as a document timestamp; the authority has 3 seconds.\n\nFailures: 380 for "
                        "an address that is not http://, 482 at W_EndDoc when the authority does not answer."},
    {"UseRecordedPages", "Takes pages first to last, recorded into P_Temp_Dir by another process or an earlier "
                         "run, as this object's pages, to preview or print without recording them again."
                         "\n\nFailures: 380 unless 1 <= first <= last <= 9999."},
    {"PrintAlignmentSheet", "Draws the alignment sheet (crosshairs and millimetre rulers, the printer's name) as "
                            "the page of the document W_StartDoc opened on the selected printer; W_EndDoc sends "
                            "it. width_mm and height_mm: the sheet as printed.\n\nFailures: 91 without a selected "
                            "printer, 380 for a size not above 0; a sheet that cannot be drawn drops its document."},
    {"E_Image", "Draws a PNG or JPEG file into the box between the two grid corners; P_Fit 0 keeps its "
                "proportions, as large as fits, centred, 1 stretches it to the box.\n\nFailures: 53 File not "
                "found, 481 Invalid picture, 52 without an open page."},
    {"E_Numeric_Right", "A number laid out with a picture, as E_Numeric, its last character ending at the left "
                        "edge of column P_End_Scol whatever its characters.\n\nFailures: 5 for a picture with "
                        "more than three sections or an unclosed quote, or a position that is not finite; 52 "
                        "without an open page."},
    {"E_String_Fit", "A text within P_Out_Length columns from its column: P_Mode 0 shrinks it (down to half its "
                     "size), 1 condenses it (down to half its width), then clips it; 2 clips it with an "
                     "ellipsis.\n\nFailures: 5 for a length not above 0, a mode other than 0 to 2, or a position "
                     "that is not finite; 52 without an open page."},
    {"E_String_Box", "A text wrapped into the box between the two grid corners, one line a row, P_Align 0 left, "
                     "1 centred, 2 right, by the Japanese line-breaking rules; lines that do not fit are left out "
                     "and noted in LastFailure (6) when drawn.\n\nFailures: 5 for a box without width or height, "
                     "an alignment other than 0 to 2, or a position that is not finite; 52 without an open page."},
    {"E_Fill", "Fills the box between the two grid corners with P_Color (0xRRGGBB); later items are drawn over "
               "it.\n\nFailures: 5 for a colour outside 0 to 0xFFFFFF, 52 without an open page."},
    {"E_Color", "The colour (0xRRGGBB) of the texts and lines recorded after it on this page; every page starts "
                "black.\n\nFailures: 5 for a colour outside 0 to 0xFFFFFF, 52 without an open page."},
    {"P_PRINT", "The printer's drawing target while a document runs (a kt482.DrawSurface, or None): set by "
                "W_StartDoc and W_PrtDialog, cleared by W_EndDoc."},
    {"P_PREVIEW", "The preview canvas (a kt482.DrawSurface, or None): set by V_Size_Set, cleared when the "
                  "preview window closes."},
    {"E_StartEdit", "Starts a recording in P_Temp_Dir: deletes the page files left there and opens page P_CurrP "
                    "(1 to 9999, else 1); only pages P_StartP to P_EndP (else 1 and 9999) receive records.\n\n"
                    "Failures: 76 Path not found, 70 Permission denied."},
    {"E_ChangePage", "Finishes the current page and opens the next one, or page P_NewP when it is 1 to 9999; a "
                     "finished page without a drawing command is deleted.\n\nFailures: file errors (52, 70, 76)."},
    {"E_EndEdit", "Finishes the current page as E_ChangePage does, without opening another.\n\n"
                  "Failures: file errors (52, 70, 76), 53 when the page file disappeared."},
    {"V_Size_Set", "Prepares the preview window for a paper code and orientation (0 and 0: A4 landscape; for "
                   "code 256 P_Height x P_Width in inches) and makes its canvas the output target.\n\n"
                   "Failures: 6 for an overflowing user size; a code without dimensions only shows a notice."},
    {"V_Preview", "Shows pages P_StartP to P_EndP (0: the first or last recorded page) in a modal window until "
                  "the user closes it.\n\nFailures: 5 without a display."},
    {"W_PrtDialog", "Applies the printer name and paper arguments as W_StartDoc does, then shows the "
                    "printer-setup dialog modal to the window P_Form (a native window id, or None); 1 when the "
                    "user confirmed it, else 0.\n\nFailures: 5 without a display; OverflowError for a number "
                    "its parameter cannot hold."},
    {"W_Device", "Ends an open document and selects the printer of that name (\"KT482 PDF\" or a CUPS queue; "
                 "blank for the stored one) as the output target.\n\nFailures: 482 (no printer of that name, "
                 "the print server does not answer)."},
    {"W_StartDoc", "Starts a document on the selected printer with a paper code and orientation (0 keeps the "
                   "stored one; for code 256 P_Height x P_Width in inches) and sets P_PRINT.\n\n"
                   "Failures: 6 for an overflowing user size or a number out of its parameter's range."},
    {"W_Print", "Prints pages P_StartP to P_EndP of the recorded range (0: the first or last recorded page), "
                "on the document's printer or, after V_Size_Set, on the preview. The range's bounds only widen "
                "over the object's life, E_Clear included: after 3 pages, E_Clear and 1 page, W_Print() prints "
                "pages 1 to 3, two of them blank; E_NewDocument starts with fresh bounds.\n\nFailures: 91 "
                "without an output target, file errors and bad records while replaying, 482 from the printer."},
    {"W_EndDoc", "Ends the document: the PDF is complete, the CUPS job sent; clears P_PRINT.\n\n"
                 "Failures: 482 from the printer."},
    {"P_Temp_Dir", "The spool folder the page files are written to, stored unchanged."},
    {"P_Bairitu", "The preview's magnification, 0.2 to 5; other values are ignored."},
    {"P_CurrPage", "The page being recorded; after output, the last page drawn."},
    {"P_Min_Page", "The lowest page kept (10000 before the first); only moves outwards."},
    {"P_Max_Page", "The highest page kept (0 before the first); only moves outwards."},
    {"P_PRT_Copy", "The number of copies, 1 to 99; other values are ignored."},
    {"P_CheckEnd", "True once recording has moved past the editing window's last page."},
    {"P_CheckData", "True once a drawing command was recorded since E_StartEdit."},
    {"P_PaperSize", "The paper code of the selected printer or the running document."},
    {"P_Orientation", "The orientation of the selected printer or the running document: 1 portrait, 2 landscape."},
    {"P_TopMargin", "The top margin in millimetres, 0 or more; other values are ignored."},
    {"P_LeftMargin", "The left margin in millimetres, 0 or more; other values are ignored."},
    {"P_RowPitch", "The row pitch in points that the renderer last applied."},
    {"P_ColPitch", "The column pitch in points that the renderer last applied."},
    {"E_Pitch", "The grid from here on: row and column pitch in points (0: the default 15 and 6)." KT482_LAYOUT_FAILURES},
    {"E_Font", "The font from here on: face (empty keeps it), size in points (0 or less keeps it), bold, and a "
               "row margin in points that raises the text within its row." KT482_LAYOUT_FAILURES},
    {"E_DrawStyle", "The pen from here on: style 0 solid, 1 dash, 2 dot, 3 dash-dot, 4 dash-dot-dot, "
                    "5 invisible, 6 solid inside; width in device pixels (1/600 inch on a PDF)." KT482_LAYOUT_FAILURES},
    {"E_Line", "A straight line between the top left corners of two grid cells." KT482_LAYOUT_FAILURES},
    {"E_Line_Hor", "Horizontal rules relative to the base position: one at each row offset of the list "
                   "P_CLine_Row (\"0;2;4\"), each over the column range P_CLine_Col (\"0-58\"). A bad list "
                   "fails when the page is drawn (13)." KT482_LAYOUT_FAILURES},
    {"E_Line_Vrt", "Vertical rules relative to the base position: P_CLine_Row is a row range (\"0-6\"), "
                   "P_CLine_Col a list of column offsets (\"42;52\"). A bad list fails when the page is drawn "
                   "(13)." KT482_LAYOUT_FAILURES},
    {"E_Keisen", "A ruled box: the outline of the rectangle between two grid corners." KT482_LAYOUT_FAILURES},
    {"E_String", "A text whose left edge is at the column; a number is written in its ordinary decimal text, "
                 "None records nothing but marks the page as holding data." KT482_LAYOUT_FAILURES},
    {"E_String_Kin", "The text spread evenly over a box P_Out_Length columns wide." KT482_LAYOUT_FAILURES},
    {"E_String_Center", "The text centred in a box P_Out_Length columns wide." KT482_LAYOUT_FAILURES},
    {"E_String_Right", "The text ending at the left edge of the column: to right-align in columns 1 to 10, name "
                       "column 11." KT482_LAYOUT_FAILURES},
    {"E_String_Left", "The text cut to P_Out_Length half-width cells, then written as E_String." KT482_LAYOUT_FAILURES},
    {"E_Numeric", "A number laid out with a picture (\"#,##0.00\"), right-aligned in a field as many characters "
                  "of the current font wide as the picture, starting at the column; a text that is not a number "
                  "is written as it stands." KT482_LAYOUT_FAILURES},
    {"E_Clear", "Closes and deletes every page file in P_Temp_Dir; the page bounds P_Min_Page and P_Max_Page "
                "stay, as they only widen: a shorter document recorded next still prints to the old last page. "
                "E_NewDocument clears and starts the bounds afresh.\n\n"
                "Failures: 53 File not found when there is no page file, file errors (70, 76)."},
    {"E_NewDocument", "Starts a new document on this object: deletes the page files as E_Clear does and sets the "
                      "page bounds back to a new object's (P_Min_Page 10000, P_Max_Page 0); the settings stay. "
                      "Record the next document with E_StartEdit.\n\n"
                      "Failures: file errors (70, 76); no page file is no failure."},
};
#undef KT482_LAYOUT_FAILURES

const char* doc_of(std::string_view name)
{
    auto it = kDocs.find(name);
    return it == kDocs.end() ? "" : it->second;
}

// A keyword argument named as the C++ parameter; an optional one defaults to
// 0, 0.0, False or "".
template <const ParamInfo& P>
auto keyword()
{
    py::arg a(P.name.data());
    if constexpr (P.presence == Presence::Required)
        return a;
    else if constexpr (P.type == ParamType::R4)
        return a = 0.0;
    else if constexpr (P.type == ParamType::Text)
        return a = "";
    else if constexpr (P.type == ParamType::Bool)
        return a = false;
    else
        return a = 0;
}

constexpr bool late_bound(ParamType t)
{
    return t != ParamType::Object;
}

template <const auto& Params>
constexpr bool late_bound_params()
{
    for (const ParamInfo& p : Params) {
        if (!late_bound(p.type))
            return false;
    }
    return true;
}

// The accessors of each property, paired up before the properties are made.
struct Accessors {
    py::cpp_function get, set;
};

class Binder {
public:
    explicit Binder(py::class_<PyPrint>& cls) : cls_(cls) {}

    // One entry of the member list. Members taking or giving an object
    // reference are bound by hand.
    template <MemberKind Kind, const auto& Params, ParamType Result>
    void member(const char* name, int32_t dispid)
    {
        if constexpr (late_bound(Result) && late_bound_params<Params>()) {
            [&]<std::size_t... I>(std::index_sequence<I...>) {
                if constexpr (Kind == MemberKind::Method)
                    method<Result, Params[I].type...>(name, dispid, keyword<Params[I]>()...);
                else if constexpr (Kind == MemberKind::PropertyGet)
                    properties_[name].get = getter<Result>(name, dispid);
                else
                    properties_[name].set = setter<Params[0].type>(name, dispid, Kind);
            }(std::make_index_sequence<Params.size()>{});
        }
    }

    void finish()
    {
        for (auto& [name, a] : properties_) {
            if (a.set)
                cls_.def_property(name.c_str(), a.get, a.set, doc_of(name));
            else
                cls_.def_property_readonly(name.c_str(), a.get, doc_of(name));
        }
    }

private:
    template <ParamType Result, ParamType... P, class... Keywords>
    void method(const char* name, int32_t dispid, Keywords... keywords)
    {
        cls_.def(
            name,
            [name, dispid](PyPrint& p, Arg<P>... args) {
                Variant result = p.call(name, dispid, MemberKind::Method, {std::move(args.value)...});
                if constexpr (Result != ParamType::None)
                    return Ret<Result>{std::move(result)};
            },
            keywords..., doc_of(name));
    }

    template <ParamType Result>
    py::cpp_function getter(const char* name, int32_t dispid)
    {
        return py::cpp_function([name, dispid](PyPrint& p) {
            return Ret<Result>{p.call(name, dispid, MemberKind::PropertyGet)};
        });
    }

    template <ParamType P>
    py::cpp_function setter(const char* name, int32_t dispid, MemberKind kind)
    {
        return py::cpp_function(
            [name, dispid, kind](PyPrint& p, Arg<P> v) { p.call(name, dispid, kind, {std::move(v.value)}); });
    }

    py::class_<PyPrint>& cls_;
    std::map<std::string, Accessors> properties_;
};

// W_PrtDialog takes a window id, which late-bound calls cannot pass: its
// arguments are converted here, a number its parameter cannot hold being an
// OverflowError.
template <class T>
T checked(const Variant& v, const char* param)
{
    const double d = v.number();
    const bool fits = std::is_same_v<T, int16_t> ? (d >= -32768 && d <= 32767) : !(std::fabs(d) > FLT_MAX);
    if (!fits) {
        PyErr_Format(PyExc_OverflowError, "%s: %R is out of its range", param, to_python(v).ptr());
        throw py::error_already_set();
    }
    return static_cast<T>(d);
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

namespace kt482 {
namespace {

// Python data as JSON text for a form: dicts (str keys), lists and tuples,
// str, bool, int, float (its shortest repr, the digits the user wrote),
// decimal.Decimal (its exact digits) and None. Anything else is a TypeError
// naming where it is.
void append_json_string(std::string& out, std::string_view text)
{
    out += '"';
    for (const char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

void append_json(std::string& out, py::handle value, const std::string& where, int depth)
{
    if (depth > 64)
        throw py::value_error(where + ": nested deeper than 64 levels");
    static const py::object decimal_type = py::module_::import("decimal").attr("Decimal");
    if (value.is_none()) {
        out += "null";
    } else if (py::isinstance<py::bool_>(value)) {
        out += value.cast<bool>() ? "true" : "false";
    } else if (py::isinstance<py::int_>(value)) {
        out += py::str(value).cast<std::string>();
    } else if (py::isinstance<py::float_>(value) || py::isinstance(value, decimal_type)) {
        const bool finite = py::isinstance<py::float_>(value) ? std::isfinite(value.cast<double>())
                                                              : value.attr("is_finite")().cast<bool>();
        if (!finite)
            throw py::value_error(where + ": expected a finite number, got " + py::repr(value).cast<std::string>());
        out += py::str(value).cast<std::string>();
    } else if (py::isinstance<py::str>(value)) {
        append_json_string(out, value.cast<std::string>());
    } else if (py::isinstance<py::dict>(value)) {
        out += '{';
        bool first = true;
        for (const auto& [key, item] : value.cast<py::dict>()) {
            if (!py::isinstance<py::str>(key))
                throw py::type_error(where + ": a key is not a str: " + py::repr(key).cast<std::string>());
            const std::string name = key.cast<std::string>();
            if (!first)
                out += ',';
            first = false;
            append_json_string(out, name);
            out += ':';
            append_json(out, item, where.empty() ? name : where + "." + name, depth + 1);
        }
        out += '}';
    } else if (py::isinstance<py::list>(value) || py::isinstance<py::tuple>(value)) {
        out += '[';
        std::size_t i = 0;
        for (const auto item : value) {
            if (i)
                out += ',';
            append_json(out, item, where + "[" + std::to_string(i) + "]", depth + 1);
            ++i;
        }
        out += ']';
    } else {
        throw py::type_error((where.empty() ? std::string("data") : where) + ": cannot be form data: " +
                             py::repr(value).cast<std::string>());
    }
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

    // The permissions of an encrypted document as flags that combine with
    // "|" and pass as the int SetPdfEncryption takes.
    py::dict permissions;
    for (const auto& [name, value] :
         {std::pair{"Print", PdfPermission::Print}, {"Modify", PdfPermission::Modify}, {"Copy", PdfPermission::Copy},
          {"Annotate", PdfPermission::Annotate}, {"FillForms", PdfPermission::FillForms},
          {"Accessibility", PdfPermission::Accessibility}, {"Assemble", PdfPermission::Assemble},
          {"PrintHighQuality", PdfPermission::PrintHighQuality}})
        permissions[name] = static_cast<int32_t>(value);
    py::object permission_flags = py::module_::import("enum").attr("IntFlag")("PdfPermission", permissions);
    permission_flags.attr("__module__") = "kt482";
    m.attr("PdfPermission") = permission_flags;

    py::class_<FailureReport>(m, "FailureReport", "A failure as a member reported it; false when number is 0.")
        .def_readonly("number", &FailureReport::number)
        .def_readonly("description", &FailureReport::description)
        .def_readonly("procedure", &FailureReport::procedure)
        .def("__bool__", [](const FailureReport& f) { return f.number != 0; })
        .def("__repr__", [](const FailureReport& f) {
            return "FailureReport(" + std::to_string(f.number) + ", " + std::string(py::repr(py::str(f.description)))
                   + ", " + std::string(py::repr(py::str(f.procedure))) + ")";
        });

    py::class_<DrawSurface, std::shared_ptr<DrawSurface>>(m, "DrawSurface",
                                                           "A drawing target reference (P_PRINT, P_PREVIEW).");

    m.def(
        "members",
        [] {
            std::vector<std::tuple<std::string, int32_t, std::string, std::vector<std::string>>> out;
            for (const MemberInfo& member : member_table()) {
                std::vector<std::string> params;
                for (const ParamInfo& p : member.params)
                    params.emplace_back(p.name);
                out.emplace_back(member.name, member.dispid, kind_name(member.kind), std::move(params));
            }
            return out;
        },
        "The member table: (name, dispid, kind, parameter names) in interface order; kind is "
        "'method', 'get', 'let' or 'set'.");

    m.def(
        "set_message_handler",
        [](HandlerArg handler) {
            handlers().collect();
            KT482_Print::SetMessageHandler(handler.callable.is_none() ? MessageHandler()
                                                                      : python_handler(std::move(handler.callable)));
        },
        "handler"_a,
        "Installs handler(title, text, buttons) -> int for this thread's messages instead of the message "
        "box or the standard-error line; None restores them. The handler's result (1 for None) is the answer.");
    // The handlers hold Python callables: let them go while the interpreter lives.
    py::module_::import("atexit").attr("register")(py::cpp_function([] { handlers().close(); }));

    py::class_<PyPrint> cls(m, "KT482_Print",
                            "Lays out business forms on a character grid, records them page by page into spool "
                            "files, and previews and prints them.\n\n"
                            "A member's failure raises kt482.Error (number, description, procedure); with "
                            "raise_errors=False it shows the message, as in C++, and returns. A value of the "
                            "wrong type raises TypeError, an int beyond a float OverflowError; a number out of "
                            "its parameter's range is the member's failure 6 Overflow.");
    cls.def(py::init<bool>(), py::kw_only(), "raise_errors"_a = true,
            "A new object; creating one resets the calling thread's job state. raise_errors=False shows a "
            "failure's message instead of raising kt482.Error.\n\nFailures: those of asking the print server "
            "for the default printer.")
        .def_property_readonly("raise_errors", &PyPrint::raise_errors,
                               "True when failures raise kt482.Error, False when they show their message.");

    // Object references.
    for (const char* name : {"P_PRINT", "P_PREVIEW"}) {
        const bool print = std::string_view(name) == "P_PRINT";
        cls.def_property(
            name,
            [print](PyPrint& p) { return print ? p.job().P_PRINT() : p.job().P_PREVIEW(); },
            [print](PyPrint& p, std::shared_ptr<DrawSurface> surface) {
                print ? p.job().P_PRINT(std::move(surface)) : p.job().P_PREVIEW(std::move(surface));
            },
            doc_of(name));
    }

    // Every other member of the list, from the list. Host additions that
    // late-bound calls reach are bound the same way: expand their list here
    // too, and give each member a kDocs entry and its line in kt482.pyi (the
    // tests hold the stub to the module).
    Binder binder(cls);
#define KT482_PY_BIND(NAME, ID, KIND, PARAMS, RESULT) \
    binder.member<MemberKind::KIND, member_params::PARAMS, ParamType::RESULT>(#NAME, ID);
    KT482_MEMBER_LIST(KT482_PY_BIND)
    KT482_HOST_ADDITION_LIST(KT482_PY_BIND)
#undef KT482_PY_BIND
    binder.finish();

    // JobState gives late-bound callers one text; Python gets the parts.
    py::class_<JobStatus>(m, "JobStatus", "A print job's state and its printer's reasons, IPP's names.")
        .def_readonly("state", &JobStatus::state)
        .def_readonly("reasons", &JobStatus::reasons)
        .def("__repr__", [](const JobStatus& s) { return "JobStatus(" + s.state + ")"; });
    cls.attr("JobState") = py::none();
    cls.def(
        "JobState",
        [](PyPrint& p, int32_t job_id) { return p.run("JobState", [&] { return p.job().JobState(job_id); }); },
        "job_id"_a, doc_of("JobState"));

    cls.def(
        "W_PrtDialog",
        [](PyPrint& p, WindowId form, Arg<ParamType::Text> printer, Arg<ParamType::I2> size,
           Arg<ParamType::I2> orient, Arg<ParamType::R4> height, Arg<ParamType::R4> width) {
            const std::string name = printer.value.as_text();
            const auto s = checked<int16_t>(size.value, "P_Size");
            const auto o = checked<int16_t>(orient.value, "P_Orient");
            const auto h = checked<float>(height.value, "P_Height");
            const auto w = checked<float>(width.value, "P_Width");
            return p.run("W_PrtDialog", [&] { return p.job().W_PrtDialog(form.id, name, s, o, h, w); });
        },
        "P_Form"_a = py::none(), "P_PrinterName"_a = "", "P_Size"_a = 0, "P_Orient"_a = 0, "P_Height"_a = 0.0,
        "P_Width"_a = 0.0, doc_of("W_PrtDialog"));

    cls.def(
        "Answer", [](PyPrint& p) { return Ret<ParamType::Value>{p.job().Answer()}; },
        "The button the last message was answered with (None until one is shown).");

    // Host additions.
    cls.def(
        "SetDocumentInfo",
        [](PyPrint& p, const std::string& title, const std::string& author, const std::string& subject,
           const std::string& keywords) { p.job().SetDocumentInfo(title, author, subject, keywords); },
        "title"_a, "author"_a = "", "subject"_a = "", "keywords"_a = "",
        "Title, author, subject and keywords of the next document W_StartDoc starts (empty title: the file's name).");
    cls.def(
        "SetPdfArchive", [](PyPrint& p, bool archive) { p.job().SetPdfArchive(archive); }, "archive"_a,
        "Whether the documents W_StartDoc starts from now on are archivable PDF/A-2u files.");
    cls.def(
        "LastFailure", [](PyPrint& p) { return p.job().LastFailure(); },
        "The last failure a member reported (number 0 when none since creation or ClearLastFailure).");
    cls.def(
        "ClearLastFailure", [](PyPrint& p) { p.job().ClearLastFailure(); }, "Forgets the last failure.");
    cls.def(
        "SetNextPdfPath", [](PyPrint& p, const std::string& path) { p.job().SetNextPdfPath(path); }, "path"_a,
        "The file the next document on \"KT482 PDF\" is written to (empty: the printer's folder again).");
    cls.def(
        "LastPdfPath", [](PyPrint& p) { return p.job().LastPdfPath(); },
        "Where the last PDF document of this thread went, an absolute path (empty before the first).");

    // Forms.
    py::object value_error = py::module_::import("builtins").attr("ValueError");
    py::dict form_scope;
    form_scope["ValueError"] = value_error;
    py::exec(R"py(
class FormError(ValueError):
    """A template or data problem: "NAME:LINE:COLUMN: PATH: what is wrong"."""
)py",
             py::globals(), form_scope);
    static py::handle form_error = py::object(form_scope["FormError"]).release();
    form_error.attr("__module__") = "kt482";
    m.attr("FormError") = form_error;
    const auto check = [](const std::string& problem) {
        if (problem.empty())
            return;
        PyErr_SetString(form_error.ptr(), problem.c_str());
        throw py::error_already_set();
    };
    // The data and the CSV rows of one fill.
    const auto supply = [check](Form& form, py::object data, py::dict rows) {
        if (py::isinstance<py::str>(data) || py::hasattr(data, "__fspath__")) {
            check(form.SetDataFile(py::str(py::module_::import("os").attr("fspath")(data)).cast<std::string>()));
        } else if (!data.is_none()) {
            std::string json;
            append_json(json, data, "", 0);
            check(form.SetData(std::move(json), "data"));
        } else {
            check(form.SetData("{}", "data"));
        }
        for (const auto& [list, file] : rows)
            check(form.SetRowsCsvFile(list.cast<std::string>(),
                                      py::str(py::module_::import("os").attr("fspath")(file)).cast<std::string>()));
    };
    py::class_<Form>(m, "Form",
                     "A form template (JSON) filled from data: lists cut into pages with their headings, "
                     "carried sums and page numbers, totals and tax in exact decimals.\n\n"
                     "A template or data problem raises kt482.FormError naming the document, line:column "
                     "and JSON path.")
        .def(py::init([check](py::object template_path, std::optional<std::string> text, const std::string& base_dir) {
                 Form form;
                 if (text)
                     check(form.LoadText(*text, base_dir));
                 else if (!template_path.is_none())
                     check(form.LoadFile(py::str(py::module_::import("os").attr("fspath")(template_path)).cast<std::string>()));
                 else
                     throw py::type_error("Form() needs a template file or text=");
                 return form;
             }),
             "template"_a = py::none(), py::kw_only(), "text"_a = py::none(), "base_dir"_a = ".",
             "Loads the template from a file, or from text= (its pictures relative to base_dir).")
        .def(
            "fill",
            [check, supply](Form& form, PyPrint& job, py::object data, py::dict rows) {
                supply(form, std::move(data), std::move(rows));
                std::string problem;
                {
                    py::gil_scoped_release unlocked;
                    problem = form.Fill(job.job());
                }
                check(problem);
                return form.Pages();
            },
            "job"_a, py::kw_only(), "data"_a = py::none(), "rows"_a = py::dict(),
            "Records the filled pages on job (E_StartEdit to E_EndEdit) and returns the page count. data: a "
            "dict (lists of dicts for the lists; float, int and decimal.Decimal numbers) or a JSON file path; "
            "rows: {list path: CSV file}.")
        .def(
            "write_pdf",
            [check, supply](Form& form, py::object path, py::object data, py::dict rows) {
                supply(form, std::move(data), std::move(rows));
                const std::string file = py::str(py::module_::import("os").attr("fspath")(path)).cast<std::string>();
                std::string problem;
                {
                    py::gil_scoped_release unlocked;
                    problem = form.WritePdf(file);
                }
                check(problem);
                return form.Pages();
            },
            "path"_a, py::kw_only(), "data"_a = py::none(), "rows"_a = py::dict(),
            "Fills a job of its own on a thread of its own and writes the PDF file; returns the page count.")
        .def_property_readonly("pages", &Form::Pages, "The page count of the last fill.")
        .def_property_readonly("paper_size", &Form::PaperSize, "The template's paper code.")
        .def_property_readonly("orientation", &Form::Orientation, "1 portrait, 2 landscape.")
        .def_property_readonly("paper_height", &Form::PaperHeight, "For paper 256: the height in inches.")
        .def_property_readonly("paper_width", &Form::PaperWidth, "For paper 256: the width in inches.");
}
