#include "lutrovane_app.h"

CLutrovaneApp theApp;

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // The wizard is the whole program: InitInstance returns when it closes.
    theApp.InitInstance();
    return 0;
}
