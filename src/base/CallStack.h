#pragma once
// Process-wide trace of the 20 newest procedure entries, newest first.
// Each entry is "[Module] declaration hh:mm:ss", the declaration in Basic notation
// under the procedure's historic name ("Public Function funCLng(String) As Long").

#include <QString>
#include <QStringList>
#include <string_view>

namespace gd {

class CallStack final {
public:
    static constexpr int kMaxEntries = 20;

    // Records one entry; cheap: one slot of a ring is overwritten.
    static void push(const QString& signature);
    static QStringList entries();
    static void clear();
};

// "[frmMain] Private Sub Form_Load()" from a module name and __PRETTY_FUNCTION__.
QString makeSignature(std::string_view module, std::string_view prettyFunction);

namespace detail {
constexpr std::string_view moduleFromFile(std::string_view file) {
    const auto slash = file.find_last_of("/\\");
    if (slash != std::string_view::npos) file.remove_prefix(slash + 1);
    const auto dot = file.find('.');
    if (dot != std::string_view::npos) file = file.substr(0, dot);
    return file;
}
}  // namespace detail

}  // namespace gd

// The signature is built once per call site; later entries only copy a shared string.
#define CALLSTACK_MODULE(module)                                                                   \
    do {                                                                                           \
        static const QString gd_callstack_sig_ = ::gd::makeSignature(module, __PRETTY_FUNCTION__); \
        ::gd::CallStack::push(gd_callstack_sig_);                                                  \
    } while (false)

#define CALLSTACK() CALLSTACK_MODULE(::gd::detail::moduleFromFile(__FILE__))
