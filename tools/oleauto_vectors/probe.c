/* Windows probe: runs every case of the corpus through oleaut32 and prints
 * one line per case: the case's fields, then the HRESULT and the result.
 * Built with mingw-w64 and run under Wine (or Windows) by generate.sh. */
#define __USE_MINGW_ANSI_STDIO 1
#include <windows.h>
#include <oleauto.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <stdint.h>

#include "corpus.h"

typedef unsigned __int128 u128;

/* ---- Text of values ------------------------------------------------------ */

static void put_text(const WCHAR *s, UINT len) {
  UINT i;
  for (i = 0; i < len; ++i) {
    WCHAR c = s[i];
    if (c == '\\') fputs("\\\\", stdout);
    else if (c == '\t') fputs("\\t", stdout);
    else if (c == '\n') fputs("\\n", stdout);
    else if (c >= 0x20 && c < 0x7F) putchar((int)c);
    else printf("\\u%04X", (unsigned)c);
  }
}

/* Decodes the ASCII escapes of put_text into a fresh BSTR. */
static BSTR make_text(const char *s) {
  WCHAR buf[512];
  UINT n = 0;
  while (*s && n < 511) {
    if (*s == '\\' && s[1] == 'u') {
      char hex[5] = {s[2], s[3], s[4], s[5], 0};
      buf[n++] = (WCHAR)strtoul(hex, NULL, 16);
      s += 6;
    } else if (*s == '\\' && s[1] == 't') { buf[n++] = '\t'; s += 2; }
    else if (*s == '\\' && s[1] == 'n') { buf[n++] = '\n'; s += 2; }
    else if (*s == '\\' && s[1] == '\\') { buf[n++] = '\\'; s += 2; }
    else buf[n++] = (WCHAR)(unsigned char)*s++;
  }
  return SysAllocStringLen(buf, n);
}

static void put_u128(u128 v) {
  char buf[64];
  int n = 0;
  do { buf[n++] = (char)('0' + (int)(v % 10)); v /= 10; } while (v);
  while (n) putchar(buf[--n]);
}

/* A decimal is written as [-]mantissa@scale, e.g. -12345@2 for -123.45. */
static void put_dec(const DECIMAL *d) {
  u128 m = ((u128)d->Hi32 << 64) | d->Lo64;
  if (d->sign & DECIMAL_NEG) putchar('-');
  put_u128(m);
  printf("@%u", (unsigned)d->scale);
}

static DECIMAL make_dec(const char *s) {
  DECIMAL d;
  u128 m = 0;
  memset(&d, 0, sizeof d);
  if (*s == '-') { d.sign = DECIMAL_NEG; ++s; }
  while (*s >= '0' && *s <= '9') m = m * 10 + (u128)(*s++ - '0');
  if (*s == '@') d.scale = (BYTE)atoi(s + 1);
  d.Lo64 = (ULONGLONG)m;
  d.Hi32 = (ULONG)(m >> 64);
  return d;
}

/* Doubles are written exactly as their bits, with a readable form after. */
static void put_r8(double v) {
  uint64_t bits;
  memcpy(&bits, &v, 8);
  printf("%016llX(%.17g)", (unsigned long long)bits, v);
}

static double make_r8(const char *s) {
  if (s[0] == 'x') {
    uint64_t bits = strtoull(s + 1, NULL, 16);
    double v;
    memcpy(&v, &bits, 8);
    return v;
  }
  return strtod(s, NULL);
}

static void put_st(const SYSTEMTIME *st) {
  printf("%d-%d-%d %d:%d:%d.%d w%d", st->wYear, st->wMonth, st->wDay, st->wHour, st->wMinute,
         st->wSecond, st->wMilliseconds, st->wDayOfWeek);
}

static SYSTEMTIME make_st(const char *s) {
  SYSTEMTIME st;
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, se = 0, ms = 0;
  memset(&st, 0, sizeof st);
  sscanf(s, "%d-%d-%d %d:%d:%d.%d", &y, &mo, &d, &h, &mi, &se, &ms);
  st.wYear = (WORD)y; st.wMonth = (WORD)mo; st.wDay = (WORD)d;
  st.wHour = (WORD)h; st.wMinute = (WORD)mi; st.wSecond = (WORD)se; st.wMilliseconds = (WORD)ms;
  return st;
}

static const struct { const char *name; VARTYPE vt; } vt_names[] = {
  {"EMPTY", VT_EMPTY}, {"NULL", VT_NULL}, {"I1", VT_I1}, {"I2", VT_I2}, {"I4", VT_I4},
  {"UI1", VT_UI1}, {"UI2", VT_UI2}, {"UI4", VT_UI4}, {"I8", VT_I8}, {"UI8", VT_UI8},
  {"R4", VT_R4}, {"R8", VT_R8}, {"CY", VT_CY}, {"DECIMAL", VT_DECIMAL}, {"BOOL", VT_BOOL},
  {"DATE", VT_DATE}, {"BSTR", VT_BSTR}, {"INT", VT_INT}, {"UINT", VT_UINT}, {"ERROR", VT_ERROR},
};

static VARTYPE vt_of(const char *name) {
  size_t i;
  for (i = 0; i < sizeof vt_names / sizeof vt_names[0]; ++i)
    if (strcmp(vt_names[i].name, name) == 0) return vt_names[i].vt;
  fprintf(stderr, "unknown type %s\n", name);
  exit(2);
}

static const char *name_of(VARTYPE vt) {
  size_t i;
  for (i = 0; i < sizeof vt_names / sizeof vt_names[0]; ++i)
    if (vt_names[i].vt == vt) return vt_names[i].name;
  return "?";
}

/* A typed value "TYPE:text" becomes a VARIANT the caller clears. */
static VARIANT make_variant(const char *typed) {
  VARIANT v;
  char name[16];
  const char *colon = strchr(typed, ':');
  size_t n = colon ? (size_t)(colon - typed) : strlen(typed);
  const char *text = colon ? colon + 1 : "";
  memcpy(name, typed, n);
  name[n] = 0;
  VariantInit(&v);
  switch (vt_of(name)) {
    case VT_EMPTY: break;
    case VT_NULL: v.vt = VT_NULL; break;
    case VT_I1: v.vt = VT_I1; v.cVal = (CHAR)atoi(text); break;
    case VT_I2: v.vt = VT_I2; v.iVal = (SHORT)atoi(text); break;
    case VT_I4: v.vt = VT_I4; v.lVal = (LONG)strtoll(text, NULL, 10); break;
    case VT_UI1: v.vt = VT_UI1; v.bVal = (BYTE)atoi(text); break;
    case VT_UI2: v.vt = VT_UI2; v.uiVal = (USHORT)atoi(text); break;
    case VT_UI4: v.vt = VT_UI4; v.ulVal = (ULONG)strtoull(text, NULL, 10); break;
    case VT_I8: v.vt = VT_I8; v.llVal = strtoll(text, NULL, 10); break;
    case VT_UI8: v.vt = VT_UI8; v.ullVal = strtoull(text, NULL, 10); break;
    case VT_R4: v.vt = VT_R4; v.fltVal = (float)make_r8(text); break;
    case VT_R8: v.vt = VT_R8; v.dblVal = make_r8(text); break;
    case VT_DATE: v.vt = VT_DATE; v.date = make_r8(text); break;
    case VT_CY: v.vt = VT_CY; v.cyVal.int64 = strtoll(text, NULL, 10); break;
    case VT_DECIMAL: v.decVal = make_dec(text); v.vt = VT_DECIMAL; break;
    case VT_BOOL: v.vt = VT_BOOL; v.boolVal = (VARIANT_BOOL)atoi(text); break;
    case VT_BSTR: v.vt = VT_BSTR; v.bstrVal = make_text(text); break;
    default: fprintf(stderr, "cannot build %s\n", typed); exit(2);
  }
  return v;
}

static void put_variant(const VARIANT *v) {
  printf("%s:", name_of(v->vt));
  switch (v->vt) {
    case VT_EMPTY: case VT_NULL: break;
    case VT_I1: printf("%d", v->cVal); break;
    case VT_I2: printf("%d", v->iVal); break;
    case VT_I4: printf("%ld", (long)v->lVal); break;
    case VT_UI1: printf("%u", v->bVal); break;
    case VT_UI2: printf("%u", v->uiVal); break;
    case VT_UI4: printf("%lu", (unsigned long)v->ulVal); break;
    case VT_I8: printf("%lld", (long long)v->llVal); break;
    case VT_UI8: printf("%llu", (unsigned long long)v->ullVal); break;
    case VT_R4: { double d = v->fltVal; put_r8(d); break; }
    case VT_R8: put_r8(v->dblVal); break;
    case VT_DATE: put_r8(v->date); break;
    case VT_CY: printf("%lld", (long long)v->cyVal.int64); break;
    case VT_DECIMAL: put_dec(&v->decVal); break;
    case VT_BOOL: printf("%d", v->boolVal); break;
    case VT_BSTR: put_text(v->bstrVal, SysStringLen(v->bstrVal)); break;
    default: printf("?"); break;
  }
}

/* ---- Cases ----------------------------------------------------------------- */

static void run(const char *op, const char *target, unsigned long lcid, unsigned long flags, const char *arg) {
  HRESULT hr = S_OK;
  printf("%s\t%s\t%lX\t%lX\t%s\t", op, target, lcid, flags, arg);
  if (strcmp(op, "change") == 0) {
    VARIANT src = make_variant(arg), dst;
    VariantInit(&dst);
    hr = VariantChangeType(&dst, &src, (USHORT)flags, vt_of(target));
    printf("%08lX\t", (unsigned long)hr);
    if (SUCCEEDED(hr)) put_variant(&dst); else printf("-");
    VariantClear(&dst);
    VariantClear(&src);
  } else if (strcmp(op, "dec_from_str") == 0) {
    BSTR s = make_text(arg);
    DECIMAL d;
    memset(&d, 0, sizeof d);
    hr = VarDecFromStr(s, lcid, flags, &d);
    printf("%08lX\t", (unsigned long)hr);
    if (SUCCEEDED(hr)) put_dec(&d); else printf("-");
    SysFreeString(s);
  } else if (strcmp(op, "cy_from_str") == 0) {
    BSTR s = make_text(arg);
    CY c;
    c.int64 = 0;
    hr = VarCyFromStr(s, lcid, flags, &c);
    printf("%08lX\t", (unsigned long)hr);
    if (SUCCEEDED(hr)) printf("%lld", (long long)c.int64); else printf("-");
    SysFreeString(s);
  } else if (strcmp(op, "date_from_str") == 0) {
    BSTR s = make_text(arg);
    DATE d = 0;
    hr = VarDateFromStr(s, lcid, flags, &d);
    printf("%08lX\t", (unsigned long)hr);
    if (SUCCEEDED(hr)) put_r8(d); else printf("-");
    SysFreeString(s);
  } else if (strcmp(op, "bstr_from_dec") == 0) {
    DECIMAL d = make_dec(arg);
    BSTR out = NULL;
    hr = VarBstrFromDec(&d, lcid, flags, &out);
    printf("%08lX\t", (unsigned long)hr);
    if (SUCCEEDED(hr)) put_text(out, SysStringLen(out)); else printf("-");
    SysFreeString(out);
  } else if (strcmp(op, "i4_from_dec") == 0) {
    DECIMAL d = make_dec(arg);
    LONG l = 0;
    hr = VarI4FromDec(&d, &l);
    printf("%08lX\t", (unsigned long)hr);
    if (SUCCEEDED(hr)) printf("%ld", (long)l); else printf("-");
  } else if (strcmp(op, "r8_from_dec") == 0) {
    DECIMAL d = make_dec(arg);
    double r = 0;
    hr = VarR8FromDec(&d, &r);
    printf("%08lX\t", (unsigned long)hr);
    if (SUCCEEDED(hr)) put_r8(r); else printf("-");
  } else if (strcmp(op, "cy_from_dec") == 0) {
    DECIMAL d = make_dec(arg);
    CY c;
    c.int64 = 0;
    hr = VarCyFromDec(&d, &c);
    printf("%08lX\t", (unsigned long)hr);
    if (SUCCEEDED(hr)) printf("%lld", (long long)c.int64); else printf("-");
  } else if (strcmp(op, "r8_from_cy") == 0) {
    CY c;
    double r = 0;
    c.int64 = strtoll(arg, NULL, 10);
    hr = VarR8FromCy(c, &r);
    printf("%08lX\t", (unsigned long)hr);
    if (SUCCEEDED(hr)) put_r8(r); else printf("-");
  } else if (strcmp(op, "dec_from_cy") == 0) {
    CY c;
    DECIMAL d;
    memset(&d, 0, sizeof d);
    c.int64 = strtoll(arg, NULL, 10);
    hr = VarDecFromCy(c, &d);
    printf("%08lX\t", (unsigned long)hr);
    if (SUCCEEDED(hr)) put_dec(&d); else printf("-");
  } else if (strcmp(op, "systime_to_vt") == 0) {
    SYSTEMTIME st = make_st(arg);
    double d = 0;
    INT ok = SystemTimeToVariantTime(&st, &d);
    printf("%d\t", ok ? 1 : 0);
    if (ok) put_r8(d); else printf("-");
  } else if (strcmp(op, "vt_to_systime") == 0) {
    SYSTEMTIME st;
    INT ok;
    memset(&st, 0, sizeof st);
    ok = VariantTimeToSystemTime(make_r8(arg), &st);
    printf("%d\t", ok ? 1 : 0);
    if (ok) put_st(&st); else printf("-");
  } else {
    fprintf(stderr, "unknown operation %s\n", op);
    exit(2);
  }
  printf("\n");
}

int main(void) {
  run_corpus(run);
  return 0;
}
