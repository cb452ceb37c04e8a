// The exit notice to the publisher's host window.
#include "app/host_notice.h"

void SendExitNotice() {}
