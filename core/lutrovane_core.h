// LutrovaneCore: the Scancode Map bytes, the key-table base class, the master
// key catalogue and the store functions for the registry and map data files.
#pragma once

#ifdef _WIN32
#include <windows.h>
#define LUTROVANE_DLLEXPORT __declspec(dllexport)
#define LUTROVANE_DLLIMPORT __declspec(dllimport)
#else
// The native build of the byte handling, for the sanitizers and the fuzzer:
// static libraries, no registry and no files.
#include "win_types.h"
#define LUTROVANE_DLLEXPORT
#define LUTROVANE_DLLIMPORT
#endif

#ifdef LUTROVANE_CORE_BUILD
#define LUTROVANE_CORE_API LUTROVANE_DLLEXPORT
#else
#define LUTROVANE_CORE_API LUTROVANE_DLLIMPORT
#endif

// The registry key below HKEY_LOCAL_MACHINE that holds the map, and the
// value's name: narrow literals that a wide one in front of them widens
// (L"" LUTROVANE_MAP_KEY).
#define LUTROVANE_MAP_KEY "SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout"
#define LUTROVANE_MAP_VALUE "Scancode Map"

// Text in code page 949. Copies share one buffer under a reference count, as
// the framework's strings do; buffers are allocated and freed inside this
// library only, so strings may cross from one module to another.
class LUTROVANE_CORE_API CString
{
public:
    CString();
    CString(const CString& str);
    CString(const char* psz);
    ~CString();

    CString& operator=(const CString& str);
    CString& operator=(const char* psz);

    operator const char*() const { return m_pchData; }
    int GetLength() const { return m_nLength; }
    bool IsEmpty() const { return m_nLength == 0; }
    void Empty();

    // The text from byte nFirst on; empty when nFirst lies past the end.
    CString Mid(int nFirst) const;
    // Fills a format that holds one %s with psz; %% stands for %.
    void Format(const char* pszFormat, const char* psz);

private:
    void Assign(const char* psz, int nLength);

    char* m_pchData;
    int m_nLength;
};

// Byte for byte, as lstrcmpA would tell equal from unequal.
LUTROVANE_CORE_API bool operator==(const CString& a, const char* b);
inline bool operator==(const char* a, const CString& b) { return b == a; }
inline bool operator!=(const CString& a, const char* b) { return !(a == b); }
inline bool operator!=(const char* a, const CString& b) { return !(b == a); }

// Compares two key names as the Korean system's multibyte string compare does:
// a lead byte 0x81..0xFE takes the next byte along and the pair must match
// exactly; single-byte Latin letters match whatever their case. Independent
// of the code page of the system and of the process. <0, 0 or >0.
LUTROVANE_CORE_API int CompareKeyNames(const char* a, const char* b);

class LUTROVANE_CORE_API CStringArray
{
public:
    CStringArray();
    ~CStringArray();
    CStringArray(const CStringArray&) = delete;
    CStringArray& operator=(const CStringArray&) = delete;

    int GetSize() const { return m_nSize; }
    // nNewSize 0 empties the array; a larger size pads with empty strings.
    void SetSize(int nNewSize);
    int Add(const CString& str);
    void SetAtGrow(int nIndex, const CString& str);
    const CString& operator[](int nIndex) const { return m_pData[nIndex]; }

private:
    CString* m_pData;
    int m_nSize;
    int m_nMaxSize;
};

class LUTROVANE_CORE_API CWordArray
{
public:
    CWordArray();
    ~CWordArray();
    CWordArray(const CWordArray&) = delete;
    CWordArray& operator=(const CWordArray&) = delete;

    int GetSize() const { return m_nSize; }
    // nNewSize 0 empties the array; a larger size pads with zeros.
    void SetSize(int nNewSize);
    int Add(WORD w);
    void SetAtGrow(int nIndex, WORD w);
    WORD operator[](int nIndex) const { return m_pData[nIndex]; }

private:
    WORD* m_pData;
    int m_nSize;
    int m_nMaxSize;
};

// One row of a key table as the tables are written down.
struct SKeyRow
{
    const char* pszName;
    unsigned short wScancode;
};

#define LUTROVANE_ROWS(rows) (rows), int(sizeof(rows) / sizeof((rows)[0]))

// The key table of one keyboard: names and scan codes side by side, in the
// order the lists show them. Every lookup takes the first match.
class LUTROVANE_CORE_API CLutrovaneBase
{
public:
    CLutrovaneBase();

    // The virtual table's slot order is part of the interface: keep it.
    virtual unsigned long GetSizeOfMap();
    // An index outside the table gives an empty name.
    virtual CString GetKeyNameByIndex(int nIndex);
    // An index outside the table gives 0.
    virtual unsigned short GetScancodeByIndex(int nIndex);
    // "알수 없음" when no key has the code.
    virtual CString GetKeyName(unsigned short wScancode);
    // 0 when no key has the name. The same as FindScanCode.
    virtual unsigned short GetScanCode(CString strName);
    // Reads the system's map and decodes it; nSelector non-zero picks the real
    // keys, zero the mapped keys. Returns the store's code; the arrays are
    // touched only on 0.
#ifdef _WIN32
    virtual unsigned long GetCurrentScancodeMap(CStringArray& names, CWordArray& codes,
                                                int nSelector);
#else
    // No registry natively: the slot stays where it is, a call does not compile.
    virtual unsigned long GetCurrentScancodeMap(CStringArray& names, CWordArray& codes,
                                                int nSelector) = delete;
#endif
    // Decodes map bytes held in a 1024-byte buffer. Always 0.
    virtual unsigned long GetScancodeMap(unsigned char* pBuffer, CStringArray& names,
                                         CWordArray& codes, int nSelector);

protected:
    // Empties the table; a subclass calls this first, then appends its rows.
    virtual void InitData();

public:
    virtual ~CLutrovaneBase();

    // The code of the first key whose name equals pszName under
    // CompareKeyNames; 0 when none does. Takes a name inside a longer text,
    // such as a list cell's, without copying it.
    unsigned short FindScanCode(const char* pszName);

protected:
    void AppendKeys(const SKeyRow* pRows, int nCount);

    CStringArray m_arrKeyName;
    CWordArray m_arrScancode;

private:
    void BuildIndexes();

    // Hash tables over the rows, built at the first lookup: each slot holds
    // row + 1 of the first row with a name (a code), 0 when empty.
    CWordArray m_arrNameSlots;
    CWordArray m_arrCodeSlots;
    int m_nIndexedRows;  // the rows the tables cover; -1 before they are built
};

// The name table gives wScancode; for a code it does not hold, the not-found
// name with the code as a map writes it, prefix first: "알수 없음 (E06A)", so
// that two such keys read apart. GetKeyName itself keeps the bare name.
LUTROVANE_CORE_API CString GetKeyNameWithCode(CLutrovaneBase& table, unsigned short wScancode);

// The map's code for a key as a low-level keyboard hook sees it (the fields
// vkCode, scanCode and flags of KBDLLHOOKSTRUCT); 0 for an event that is no
// key: a character sent as VK_PACKET, or no scan code.
LUTROVANE_CORE_API unsigned short ScancodeOfKeyEvent(unsigned long nVirtualKey, unsigned long nScanCode,
                                                     unsigned long nFlags);

// The master key catalogue: every key any keyboard module holds, under the
// names the mapped-key list shows.
class LUTROVANE_CORE_API CLutrovaneCore : public CLutrovaneBase
{
public:
    CLutrovaneCore();
    virtual ~CLutrovaneCore();

protected:
    virtual void InitData();
};

// Store functions. Result codes: 0 done, 1 a null argument or nothing there,
// 2 the registry key or the file does not open or write (or a file is no map
// data file), 3 a map data file without map bytes.
class LUTROVANE_CORE_API CUtils
{
public:
    CUtils();
    CUtils(const CUtils& other);
    CUtils& operator=(const CUtils& other);
    virtual ~CUtils();

    // Encodes the pairs into Scancode Map bytes, 16 + 4 * N for N real keys.
    // 1, writing nothing, for a null buffer, more than 252 pairs or fewer
    // mapped keys than real keys.
    static unsigned long MakeRegistryData(CWordArray& realKeys, CWordArray& mappedKeys,
                                          unsigned char* pBuffer);

    // 1 if the system holds a readable map of at least one byte.
    static int HaveCurrentScancode();
    // *pSize holds the capacity on entry and the bytes read on return.
    static unsigned long GetScancodeMapRegistry(unsigned char* pBuffer, unsigned long* pSize);
    static unsigned long SetScancodeMapRegistry(unsigned char* pData, unsigned long nLength);
    static unsigned long DelScancodeMapRegistry();
    // Lets Windows ask the user to restart; the result of SetupPromptReboot.
    static int RebootSystem(HWND hwndOwner, int nScanOnly);

    // Paths are code page 949 text.
    static unsigned long SaveLutrovaneData(CString strPath, unsigned char* pData,
                                           unsigned long nLength);
    static unsigned long LoadLutrovaneData(CString strPath, unsigned char* pBuffer,
                                           unsigned long* pSize);
    // What LoadLutrovaneData makes of a file's first nLength bytes (pData may
    // be null when nLength is 0): the same result codes, and on 0 up to 1024
    // map bytes copied to pBuffer and their number behind pSize. Nothing is
    // written on any other result.
    static unsigned long ParseLutrovaneData(const unsigned char* pData, unsigned long nLength,
                                            unsigned char* pBuffer, unsigned long* pSize);

    // The registry file (.reg) that sets the value to the nLength map bytes at
    // pData, or with bRemove that removes it ("Scancode Map"=-), as the
    // registry editor exports the key: UTF-16LE behind FF FE, CRLF, hex data
    // folded where the editor folds it; binary data (type 3) as hex:, any
    // other type as hex(N):. Returns the file's size in bytes; the bytes go to
    // pBuffer only when nCapacity holds them all.
    static unsigned long MakeRegFileData(bool bRemove, const unsigned char* pData,
                                         unsigned long nLength, unsigned char* pBuffer,
                                         unsigned long nCapacity, unsigned long nType = 3);
#ifdef _WIN32
    // Writes that file in place of whatever is at the path, only ever whole;
    // a read-only file is refused. 0, or 2 with the reason in GetLastError.
    static unsigned long SaveRegFile(const wchar_t* pszPath, bool bRemove,
                                     const unsigned char* pData, unsigned long nLength);
#endif
};

// The keys that signing in to Windows needs, in groups of keys that do the
// same: Ctrl+Alt+Del needs a key of each of the first three, a password is
// confirmed with either Enter.
enum
{
    SIGN_IN_CTRL = 0x1,    // left and right Control: 001D, E01D
    SIGN_IN_ALT = 0x2,     // left and right Alt: 0038, E038
    SIGN_IN_DELETE = 0x4,  // Delete and the keypad's Del: E053, 0053
    SIGN_IN_ENTER = 0x8,   // Enter and keypad Enter: 001C, E01C
    SIGN_IN_CTRL_ALT_DEL = SIGN_IN_CTRL | SIGN_IN_ALT | SIGN_IN_DELETE,
};

// The groups whose every key the map (nLength bytes at pData, as many entries
// as its count says and the bytes hold) leaves no physical key to produce:
// each key is remapped away and no entry maps another key onto it. Their keys'
// codes go to lostKeys, group by group; 0 and an empty array for a map that
// leaves every group a key.
LUTROVANE_CORE_API unsigned long FindLostSignInKeys(const unsigned char* pData,
                                                    unsigned long nLength, CWordArray& lostKeys);

#ifdef _WIN32
// What the system's map was before each change made through ChangeSystemMap:
// registry files in %ProgramData%\Lutrovane\history, named by the change's
// time in UTC (20240501T134507Z.reg, then _2, _3 within the same second),
// "Scancode Map"=- for a change made where there was no map, the value's
// bytes and type otherwise. At most MAX_ENTRIES are kept; a value the same as
// the newest kept is not kept again. Only administrators and the system can
// write the folders, and entries are owned by Administrators; a file there
// that someone else could have written, or whose name lies ahead of the
// clock, is no entry. An object in the folders' place that is not theirs is
// moved aside ("Lutrovane.refused-20240501T134507Z") and a fresh folder made.
class LUTROVANE_CORE_API CMapHistory
{
public:
    enum { MAX_ENTRIES = 50 };
    // How long a change waits for another program's change to end, in ms.
    enum { LOCK_WAIT_MS = 10000 };

    // ChangeSystemMap's results. On NOT_WRITTEN, NOT_KEPT and BUSY nothing is
    // changed or kept, and GetLastError says why.
    enum EChange
    {
        CHANGED = 0,
        UNCHANGED = 1,    // no map to remove, or the system holds this value already
        NOT_WRITTEN = 2,  // the registry key does not open for writing, or the write failed
        NOT_KEPT = 4,     // the value could not be kept (ERROR_BAD_PATHNAME: %ProgramData% is no full path)
        BUSY = 5,         // another change held the lock (GetInTheWay) all the while
    };

    // Finds the folder; reads nothing yet.
    CMapHistory();
    ~CMapHistory();
    CMapHistory(const CMapHistory&) = delete;
    CMapHistory& operator=(const CMapHistory&) = delete;

    // The history folder, without a closing backslash.
    const wchar_t* GetFolder() const;

    // Lists the kept files, newest first, and reads them. 0, or the Win32
    // error that stopped the listing; a folder not made yet is an empty history.
    unsigned long Load();
    int GetCount() const;
    // The full path of entry nIndex, 0 the newest; NULL outside the list.
    const wchar_t* GetPath(int nIndex) const;
    // When entry nIndex was kept, in UTC, as its name says. FALSE outside the list.
    BOOL GetTime(int nIndex, SYSTEMTIME* pTime) const;
    // The bytes of entry nIndex as Load read them, checked through the same
    // handle; FALSE outside the list.
    BOOL GetData(int nIndex, const unsigned char** ppData, unsigned long* pnLength) const;

    // The newest entry whose value is not the one the system holds now, for
    // an undo that changes something; -1 when there is none. After Load.
    int FindUndo() const;

    // Sets the system's map to the nLength bytes at pData, of type nType, or
    // with pData null removes it, after keeping the value it replaces, holding
    // the history's lock from the read to the write.
    EChange ChangeSystemMap(const unsigned char* pData, unsigned long nLength,
                            unsigned long nType = REG_BINARY);

    // After Load or ChangeSystemMap, an object that stood in the place of the
    // history's folders and was not theirs, or on BUSY the lock: its path,
    // empty for none. Where it went (GetMovedAside; empty when the move was
    // refused, and then GetInTheWayOwner names the account that owns it).
    const wchar_t* GetInTheWay() const;
    const wchar_t* GetMovedAside() const;
    const wchar_t* GetInTheWayOwner() const;

private:
    struct SData;
    SData* m_pData;
};
#endif
