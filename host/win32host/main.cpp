// win32host: the Windows reference host. Runs one import of FILE through the
// plug-in DLL and prints the JSON dump (--json) or a short report.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "win32_host.h"
#include "reports.h"

int main(int argc, char** argv) {
    bool json = false;
    std::string file;
    Win32Host host;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--json") == 0) {
            json = true;
        } else if (std::strcmp(argv[i], "--refuse") == 0 && i + 1 < argc && FindDelivery(argv[i + 1])) {
            host.Refuse(FindDelivery(argv[++i])->message);
        } else if (file.empty() && argv[i][0] != '-') {
            file = argv[i];
        } else {
            std::fprintf(stderr, "usage: win32host [--json] [--refuse PM_NAME]... FILE\n");
            return 2;
        }
    }
    if (file.empty() || !host.Error().empty()) {
        std::fprintf(stderr, "win32host: %s\n", file.empty() ? "no file given" : host.Error().c_str());
        return 2;
    }
    // Byte for byte what the Linux host prints: no CR before each LF.
    _setmode(_fileno(stdout), _O_BINARY);
    const ImportCapture capture = host.Run(file);
    const ReceivedModel model = ReceiveModel(capture);
    const std::string out = json ? JsonDump(model) : TextReport(model, Identify(host.Plugin()).description);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}
