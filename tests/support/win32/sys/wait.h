// The exit status as Windows' _pclose gives it: the code itself.
#pragma once

#define WIFEXITED(status) ((status) != -1)
#define WEXITSTATUS(status) (status)
