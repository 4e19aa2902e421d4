/* A driver that loads, does nothing and unloads: it stands for the filter
 * driver in the install and removal tests of the service control manager. */
#include <ntddk.h>

static void NTAPI DummyUnload(PDRIVER_OBJECT driver) {
    (void)driver;
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
    (void)registryPath;
    driver->DriverUnload = DummyUnload;
    return STATUS_SUCCESS;
}
