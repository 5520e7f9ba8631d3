// The finished page template (web/page.html with the WebAssembly runner and web/page.js
// inlined), linked into the executable as it is. MOXY_WEB_PAGE names the file; without
// one the exporter says that this build holds no web runner.
#define MOXY_STRINGIFY2(x) #x
#define MOXY_STRINGIFY(x) MOXY_STRINGIFY2(x)

#ifdef MOXY_WEB_PAGE
__asm__(".section .rodata\n"
        ".global moxy_web_page\n"
        "moxy_web_page:\n"
        ".incbin \"" MOXY_STRINGIFY(MOXY_WEB_PAGE) "\"\n"
        ".global moxy_web_page_end\n"
        "moxy_web_page_end:\n"
        ".byte 0\n"
        ".previous\n");
#else
extern "C" const char moxy_web_page[] = "";
extern "C" const char moxy_web_page_end[] = "";
#endif
