/* The conversion library's C interface: two functions that rewrite a
 * NUL-terminated byte string in place between GB2312 (Simplified Chinese) and
 * Big5 (Traditional Chinese). Both encodings use one byte for ASCII and two for
 * every Chinese character, so a conversion never changes the string's length.
 *
 * Bytes that are not a character of the source encoding are left as they are;
 * a lead byte directly before the terminating NUL is left alone and the NUL is
 * never passed. The program loads the library at run time and binds GBToBig5
 * by name; it is never linked in. */
#ifndef VARNEL_GB2BIG5_H
#define VARNEL_GB2BIG5_H

#if defined(_WIN32)
#if defined(GB2BIG5_BUILDING)
#define GB2BIG5_API __declspec(dllexport)
#else
#define GB2BIG5_API __declspec(dllimport)
#endif
#else
#define GB2BIG5_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* GB2312 -> Big5 of the Traditional form, phrase by phrase where a phrase
 * decides the form (复制 -> 複製), character by character otherwise. A null
 * pointer is ignored. */
GB2BIG5_API void GBToBig5(char* text);

/* Big5 -> GB2312 of the Simplified form. A null pointer is ignored. */
GB2BIG5_API void Big5ToGB(char* text);

#ifdef __cplusplus
}
#endif

#endif /* VARNEL_GB2BIG5_H */
