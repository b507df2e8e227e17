// The relay's application object and program entry. The program is its dialog: once the dialog's
// modal loop ends there is nothing left to do, and the process exits.

#include <windows.h>

#include "tiktor/TiktorDialog.h"
#include "win32/LibraryLoading.h"

#if defined(UNICODE) || defined(_UNICODE)
#error "tiktor is an 8-bit program: build it without UNICODE"
#endif

namespace tiktor {

class TiktorApp {
  public:
    explicit TiktorApp(HINSTANCE instance) : m_instance(instance) {}

    // Runs the dialog to its end and gives the process's exit code.
    int run() {
        TiktorDialog dialog(m_instance);
        dialog.runModal();
        return 0;
    }

  private:
    HINSTANCE m_instance;
};

}  // namespace tiktor

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    win32::keepCurrentFolderOutOfLibrarySearch();
    tiktor::TiktorApp app(instance);
    return app.run();
}
