/*
 * c_example.c - lumbrex.dll from plain C.
 *
 * 1. connects to the local service (ConnectToLocalService);
 * 2. lists every bundle, the ports of both sides with their type and, for
 *    real ports, the communication parameters (GetBundlesNames,
 *    GetPortsNamesByBundleAndSide, BundleGetPortType,
 *    BundleGetRealPortParameters);
 * 3. creates the bundle "SdkExampleC" with the real port COM9 on its input
 *    side, sets that port's parameters (BundleSetRealPortParameters), reads
 *    them back, checks them, and deletes the bundle again.
 *
 * Every list arrives in an out-VARIANT as VT_ARRAY|VT_BSTR (or VT_EMPTY when
 * it is empty); the caller owns it and frees it with VariantClear. A failing
 * export returns 0; QKGetLastError() then tells why (a Windows error code).
 *
 * Exit code 0 when every step worked, 1 otherwise.
 */
#include <stdio.h>
#include <wchar.h>

#include <lumbrex.h>

static const wchar_t kDemoBundle[] = L"SdkExampleC";
static const wchar_t kDemoPort[] = L"COM9";

/* Prints which export failed with the last-error code, and returns 0 so that
   callers can write `return Fail("X");`. */
static int Fail(const char* exportName)
{
    printf("FAILED: %s returned 0, QKGetLastError() = %u\n", exportName, QKGetLastError());
    return 0;
}

/* A VT_BSTR VARIANT holding a copy of text; free it with VariantClear. */
static VARIANT MakeString(const wchar_t* text)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(text);
    return v;
}

static VARIANT MakeInt(LONG value)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return v;
}

/* Calls visit(name, context) for each string of a list result. The list is
   VT_EMPTY (no names) or VT_ARRAY|VT_BSTR; SafeArrayGetElement hands out a
   copy of each BSTR, which is ours to free. Returns the number of names, or
   -1 when the VARIANT holds something else. */
typedef int (*NameVisitor)(BSTR name, void* context);
static long WalkStringArray(const VARIANT* list, NameVisitor visit, void* context)
{
    SAFEARRAY* array;
    LONG lower, upper, i;
    long count = 0;

    if (V_VT(list) == VT_EMPTY)
        return 0;
    if (V_VT(list) != (VT_ARRAY | VT_BSTR))
        return -1;
    array = V_ARRAY(list);
    if (FAILED(SafeArrayGetLBound(array, 1, &lower)) || FAILED(SafeArrayGetUBound(array, 1, &upper)))
        return -1;
    for (i = lower; i <= upper; ++i) {
        BSTR name = NULL;
        if (FAILED(SafeArrayGetElement(array, &i, &name)))
            return -1;
        ++count;
        if (visit && !visit(name, context)) {
            SysFreeString(name);
            return -1;
        }
        SysFreeString(name);
    }
    return count;
}

static const char* TypeName(int type)
{
    switch (type) {
    case LUMBREX_PORT_REAL: return "real";
    case LUMBREX_PORT_VIRTUAL: return "virtual";
    case LUMBREX_PORT_SHARED: return "shared";
    case LUMBREX_PORT_SWITCHER: return "switcher";
    default: return "unknown";
    }
}

struct PortContext {
    VARIANT bundle;
    int side;
};

/* One port line: "    COM3: real, 9600 baud, parity N, ...". */
static int PrintPort(BSTR port, void* context)
{
    struct PortContext* where = (struct PortContext*)context;
    VARIANT portArg, type;
    int ok = 1;

    portArg = MakeString(port);
    VariantInit(&type);
    if (!BundleGetPortType(where->bundle, where->side, portArg, &type)) {
        ok = Fail("BundleGetPortType");
    } else {
        int code = (int)V_INT(&type); /* VT_INT */
        printf("    %ls: %s", port, TypeName(code));
        if (code == LUMBREX_PORT_REAL) {
            /* Untouched outputs keep these values; flow stays 0 when the
               entry has no flow field. */
            int baudrate = 0, parity = 0, dataBits = 0, stopBits = 0, flow = 0;
            if (BundleRealPortAreParametersDynamic(where->bundle, where->side, portArg))
                printf(", dynamic parameters");
            else if (BundleGetRealPortParameters(where->bundle, where->side, portArg, &baudrate, &parity,
                                                 &dataBits, &stopBits, &flow))
                printf(", %d baud, parity %c, %d data bits, stop-bits code %d, flow %c", baudrate,
                       "NOEMS"[(unsigned)parity % 5], dataBits, stopBits, "-XP"[(unsigned)flow % 3]);
            else
                printf(", parameters unreadable");
        }
        printf("\n");
    }
    VariantClear(&type);
    VariantClear(&portArg);
    return ok;
}

static int PrintBundle(BSTR bundle, void* context)
{
    static const char* const sideNames[2] = {"input", "output"};
    struct PortContext where;
    int side, ok = 1;
    (void)context;

    printf("  bundle %ls\n", bundle);
    where.bundle = MakeString(bundle);
    for (side = LUMBREX_SIDE_IN; side <= LUMBREX_SIDE_OUT && ok; ++side) {
        VARIANT ports;
        long count;
        VariantInit(&ports);
        where.side = side;
        if (!GetPortsNamesByBundleAndSide(where.bundle, side, &ports)) {
            /* A bundle made by hand may lack a side key: code 2. */
            printf("   %s side: unreadable, QKGetLastError() = %u\n", sideNames[side], QKGetLastError());
            continue;
        }
        printf("   %s side:\n", sideNames[side]);
        count = WalkStringArray(&ports, PrintPort, &where);
        if (count == 0)
            printf("    (no ports)\n");
        if (count < 0)
            ok = 0;
        VariantClear(&ports);
    }
    VariantClear(&where.bundle);
    return ok;
}

static int ListConfiguration(void)
{
    VARIANT bundles;
    long count;

    VariantInit(&bundles);
    if (!GetBundlesNames(&bundles)) {
        /* 2: the service has stored no configuration yet, so no bundles. */
        if (QKGetLastError() != ERROR_FILE_NOT_FOUND)
            return Fail("GetBundlesNames");
        printf("bundles: none (no configuration stored yet)\n");
        return 1;
    }
    printf("bundles:\n");
    count = WalkStringArray(&bundles, PrintBundle, NULL);
    if (count == 0)
        printf("  (none)\n");
    VariantClear(&bundles);
    return count >= 0;
}

/* Creates the demo bundle with one real port, sets and reads back its
   parameters, then deletes the bundle. */
static int ChangeParameters(void)
{
    VARIANT bundle = MakeString(kDemoBundle);
    VARIANT port = MakeString(kDemoPort);
    VARIANT real = MakeInt(LUMBREX_PORT_REAL);
    const int side = LUMBREX_SIDE_IN;
    int baudrate = 0, parity = -1, dataBits = 0, stopBits = -1, flow = -1;
    int ok = 0;

    /* Left over from an interrupted run? Start clean. */
    if (GetBundleState(bundle))
        DeleteBundle(bundle);

    printf("creating bundle %ls with the real port %ls on its input side\n", kDemoBundle, kDemoPort);
    if (!AddBundle(bundle)) {
        Fail("AddBundle");
        goto done;
    }
    if (!BundleAddPort(bundle, side, port, real)) {
        Fail("BundleAddPort");
        goto cleanup;
    }
    printf("  new port, dynamic parameters: %d\n", BundleRealPortAreParametersDynamic(bundle, side, port));

    /* 19200 baud, even parity, 7 data bits, stop-bits code 1, XON/XOFF. */
    printf("setting %ls to 19200 baud, parity E, 7 data bits, stop-bits code 1, flow X\n", kDemoPort);
    if (!BundleSetRealPortParameters(bundle, side, port, 19200, LUMBREX_PARITY_EVEN, 7, 1,
                                     LUMBREX_FLOW_XONXOFF)) {
        Fail("BundleSetRealPortParameters");
        goto cleanup;
    }
    if (!BundleGetRealPortParameters(bundle, side, port, &baudrate, &parity, &dataBits, &stopBits, &flow)) {
        Fail("BundleGetRealPortParameters");
        goto cleanup;
    }
    printf("read back: %d baud, parity %d, %d data bits, stop-bits code %d, flow %d\n", baudrate, parity,
           dataBits, stopBits, flow);
    if (baudrate != 19200 || parity != LUMBREX_PARITY_EVEN || dataBits != 7 || stopBits != 1 ||
        flow != LUMBREX_FLOW_XONXOFF) {
        printf("FAILED: the parameters read back differ from those set\n");
        goto cleanup;
    }

    /* A bad argument is refused before anything is sent: 0 and code 13. */
    if (BundleSetRealPortParameters(bundle, side, port, 9600, 7, 8, 0, 0) || QKGetLastError() != 13) {
        printf("FAILED: parity 7 was not refused with code 13\n");
        goto cleanup;
    }
    printf("parity 7 refused as expected, QKGetLastError() = %u\n", QKGetLastError());

    ok = ListConfiguration();

cleanup:
    if (!DeleteBundle(bundle)) {
        Fail("DeleteBundle");
        ok = 0;
    } else {
        printf("deleted bundle %ls\n", kDemoBundle);
    }
done:
    VariantClear(&real);
    VariantClear(&port);
    VariantClear(&bundle);
    return ok;
}

int main(void)
{
    int ok;

    printf("lumbrex C example\n");
    /* Reading needs no connection; changing goes through the service. */
    if (!ConnectToLocalService()) {
        printf("FAILED: ConnectToLocalService returned 0: is the service running?\n");
        return 1;
    }
    printf("connected to the local service\n");

    ok = ListConfiguration() && ChangeParameters();

    DisconnectFromService();
    printf(ok ? "C example: done\n" : "C example: FAILED\n");
    return ok ? 0 : 1;
}
