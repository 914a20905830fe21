// Program entry: everything happens in the application object's start-up.
#include "vandrel_app.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return theApp.Run();
}
