// Stands in for the web browser: leaves the argument it was started with in
// argument.txt beside itself, renamed into place once whole so that a test
// never reads half of it.
#include <windows.h>

#include <fstream>
#include <string>

int main(int argc, char** argv)
{
    char szPath[MAX_PATH];
    std::string strDir(szPath, GetModuleFileNameA(NULL, szPath, MAX_PATH));
    strDir.erase(strDir.rfind('\\') + 1);
    std::ofstream(strDir + "argument.part", std::ios::binary) << (argc > 1 ? argv[1] : "");
    return !MoveFileExA((strDir + "argument.part").c_str(), (strDir + "argument.txt").c_str(),
                        MOVEFILE_REPLACE_EXISTING);
}
