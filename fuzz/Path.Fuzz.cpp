// Path functions, the checked open's path rules and its mode parsing, against
// reference models of their rules and a few invariants: normalisation leaves
// no forward slash and at most the root's doubled separator, and is
// idempotent; a split path joins back to the normalised one; split parts join
// back to the text; a mode that fails leaves the output untouched.

#include "FuzzSupport.h"

#include "SharedUtil.FileMode.h"
#include "SharedUtil.FilePath.h"
#include "SharedUtil.Path.h"

#include <cstring>
#include <vector>

using FuzzSupport::CFuzzInput;
using FuzzSupport::Hex;

namespace
{
constexpr std::size_t MAX_PATH_BYTES = 64;
constexpr std::size_t MAX_DELIMITER_BYTES = 3;
constexpr std::size_t MAX_MODE_BYTES = 5;
// Lengths around the longest permitted path, which the input's own texts
// never reach.
constexpr std::size_t LONG_PATH_SHORTEST = SharedUtil::MAX_PERMITTED_PATH_BYTES - 4;
constexpr uint32_t LONG_PATH_LENGTHS = 9;
// One input in 32 (by its first byte) is also checked at those lengths.
constexpr uint8_t LONG_FLAGS_MASK = 0x1F;

bool IsSlash(char c)
{
    return c == '\\' || c == '/';
}

std::string ModelNormalize(const std::string& strPath)
{
    std::string strBackslashed = strPath;
    for (char& c : strBackslashed)
        c = c == '/' ? '\\' : c;
    const std::size_t uiDouble = strBackslashed.find("\\\\");
    if (uiDouble == std::string::npos)
        return strBackslashed;
    const bool bDriveDouble = uiDouble == 2 && strBackslashed[1] == ':';
    const bool bSchemeDouble =
        uiDouble > 0 && strBackslashed[uiDouble - 1] == ':' && strBackslashed.find('\\') == uiDouble;
    const bool bKeep = uiDouble == 0 || (!bDriveDouble && bSchemeDouble);

    std::string strOut;
    for (std::size_t i = 0; i < strBackslashed.size(); ++i)
    {
        const char c = strBackslashed[i];
        const bool bRepeat = c == '\\' && !strOut.empty() && strOut.back() == '\\';
        if (!bRepeat || (bKeep && i == uiDouble + 1))
            strOut += c;
    }
    return strOut;
}

void CheckNormalized(const std::string& strPath, const SString& strNormalized)
{
    const std::string strModel = ModelNormalize(strPath);
    FUZZ_CHECK(strNormalized == strModel,
               "path " + Hex(strPath) + "\ngot   " + Hex(strNormalized) + "\nmodel " + Hex(strModel));
    FUZZ_CHECK(SharedUtil::NormalizeSeparators(strNormalized) == strNormalized, "path " + Hex(strPath));
    FUZZ_CHECK(strNormalized.find('/') == std::string::npos, "path " + Hex(strPath));
    // One doubled separator at most, at the root, and never three in a row.
    const std::size_t uiDouble = strNormalized.find("\\\\");
    if (uiDouble != std::string::npos)
    {
        FUZZ_CHECK(uiDouble == 0 || (strNormalized[uiDouble - 1] == ':' && strNormalized.find('\\') == uiDouble),
                   "path " + Hex(strPath));
        FUZZ_CHECK(strNormalized.find("\\\\", uiDouble + 1) == std::string::npos, "path " + Hex(strPath));
    }
}

void CheckPathFunctions(const SString& strFirst, const SString& strSecond, const SString& strThird,
                        const SString& strFourth, const SString& strFifth)
{
    CheckNormalized(strFirst, SharedUtil::NormalizeSeparators(strFirst));
    CheckNormalized(strFirst + "\\" + strSecond, SharedUtil::CombinePath(strFirst, strSecond));

    std::string strJoined = strFirst + "\\" + strSecond + "\\" + strThird;
    if (!strFourth.empty())
        strJoined += "\\" + strFourth;
    if (!strFifth.empty())
        strJoined += "\\" + strFifth;
    CheckNormalized(strJoined, SharedUtil::CombinePath(strFirst, strSecond, strThird, strFourth, strFifth));

    const std::string strNormalized = ModelNormalize(strFirst);
    const std::size_t uiLast = strNormalized.rfind('\\');
    const std::string strModelFolder = uiLast == std::string::npos ? "" : strNormalized.substr(0, uiLast);
    const std::string strModelFile = uiLast == std::string::npos ? strNormalized : strNormalized.substr(uiLast + 1);
    SString strFolder = "unset";
    SString strFile = "unset";
    SharedUtil::SplitFolderAndFile(strFirst, &strFolder, &strFile);
    FUZZ_CHECK(strFolder == strModelFolder && strFile == strModelFile,
               "path " + Hex(strFirst) + "\nfolder " + Hex(strFolder) + "\nfile   " + Hex(strFile));
    FUZZ_CHECK(strFile.find('\\') == std::string::npos, "path " + Hex(strFirst));
    if (uiLast != std::string::npos)
        FUZZ_CHECK(strFolder + "\\" + strFile == strNormalized, "path " + Hex(strFirst));
    FUZZ_CHECK(SharedUtil::GetFolderPart(strFirst) == strFolder, "path " + Hex(strFirst));
    FUZZ_CHECK(SharedUtil::GetFileNamePart(strFirst) == strFile, "path " + Hex(strFirst));
    SharedUtil::SplitFolderAndFile(strFirst, nullptr, nullptr);
}

char AsciiUpper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool ModelReserved(const std::string& strPath)
{
    const std::size_t uiSlash = strPath.find_last_of("\\/");
    const std::string strName = uiSlash == std::string::npos ? strPath : strPath.substr(uiSlash + 1);
    std::string strStem = strName.substr(0, strName.find_first_of(".:"));
    if (strStem.empty())
        return false;
    while (!strStem.empty() && (strStem.back() == ' ' || strStem.back() == '.'))
        strStem.pop_back();
    for (char& c : strStem)
        c = AsciiUpper(c);
    for (const char* szName : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
    {
        if (strStem == szName)
            return true;
    }
    return strStem.size() == 4 && (strStem.compare(0, 3, "COM") == 0 || strStem.compare(0, 3, "LPT") == 0) &&
           strStem[3] >= '1' && strStem[3] <= '9';
}

// The rules as a reader would check them by hand: take the components
// between separators, look at every ":", then at the start.
bool ModelPermitted(const std::string& strPath)
{
    if (strPath.empty() || strPath.size() > SharedUtil::MAX_PERMITTED_PATH_BYTES)
        return false;
    std::string strComponent;
    for (std::size_t i = 0; i <= strPath.size(); ++i)
    {
        if (i == strPath.size() || IsSlash(strPath[i]))
        {
            if (strComponent == "..")
                return false;
            strComponent.clear();
        }
        else
        {
            strComponent += strPath[i];
        }
    }
    for (std::size_t i = 0; i < strPath.size(); ++i)
    {
        const bool bDriveLetter = (strPath[0] >= 'A' && strPath[0] <= 'Z') || (strPath[0] >= 'a' && strPath[0] <= 'z');
        if (strPath[i] == ':' && !(i == 1 && bDriveLetter))
            return false;
    }
    if (strPath.size() >= 4 && IsSlash(strPath[0]) && IsSlash(strPath[1]) && (strPath[2] == '.' || strPath[2] == '?') &&
        IsSlash(strPath[3]))
        return false;
    if (strPath.compare(0, 4, "\\??\\") == 0)
        return false;
    return !ModelReserved(strPath);
}

void CheckFilePathRules(const SString& strPath)
{
    const std::string strAsCString = strPath.c_str();
    const bool bReserved = SharedUtil::IsReservedDeviceName(strPath.c_str());
    FUZZ_CHECK(bReserved == ModelReserved(strAsCString), "path " + Hex(strPath));
    const bool bPermitted = SharedUtil::IsPermittedFilePath(strPath.c_str());
    FUZZ_CHECK(bPermitted == ModelPermitted(strAsCString), "path " + Hex(strPath));
    FUZZ_CHECK(!(bPermitted && bReserved), "path " + Hex(strPath));
}

void CheckJoinParts(const SString& strText, const SString& strDelimiter, int32_t iFirst, int32_t iCount)
{
    std::vector<SString> parts;
    strText.SplitInto(strDelimiter, parts);
    const int32_t iAll = static_cast<int32_t>(parts.size());
    FUZZ_CHECK(SharedUtil::JoinParts(parts, strDelimiter, 0, iAll) == strText,
               "text " + Hex(strText) + "\ndelimiter " + Hex(strDelimiter));

    std::string strModel;
    bool bFirstPart = true;
    for (int64_t i = 0; i < iAll; ++i)
    {
        if (i < iFirst || i >= int64_t{iFirst} + iCount)
            continue;
        if (!bFirstPart)
            strModel += strDelimiter;
        strModel += parts[static_cast<std::size_t>(i)];
        bFirstPart = false;
    }
    const SString strJoined = SharedUtil::JoinParts(parts, strDelimiter, iFirst, iCount);
    FUZZ_CHECK(strJoined == strModel, "text " + Hex(strText) + "\nfirst " + std::to_string(iFirst) + " count " +
                                          std::to_string(iCount) + "\ngot   " + Hex(strJoined) + "\nmodel " +
                                          Hex(strModel));
}

void CheckFileMode(const SString& strModeBytes)
{
    const std::string strMode = strModeBytes.c_str();
    bool bValid =
        strMode.size() >= 1 && strMode.size() <= 3 && (strMode[0] == 'r' || strMode[0] == 'w' || strMode[0] == 'a');
    int iPlus = 0;
    int iKind = 0; // "b" and "t" together
    bool bBinary = false;
    for (std::size_t i = 1; i < strMode.size() && bValid; ++i)
    {
        if (strMode[i] == '+')
            ++iPlus;
        else if (strMode[i] == 'b' || strMode[i] == 't')
            ++iKind, bBinary = strMode[i] == 'b';
        else
            bValid = false;
    }
    bValid = bValid && iPlus <= 1 && iKind <= 1;

    SharedUtil::SFileMode mode;
    mode.uiAccess = 0xDEADBEEF;
    mode.uiDescriptorFlags = 0xDEADBEEF;
    std::memcpy(mode.szStreamMode, "zzz", sizeof(mode.szStreamMode));
    const bool bParsed = SharedUtil::ParseFileMode(strModeBytes.c_str(), mode);
    FUZZ_CHECK(bParsed == bValid, "mode " + Hex(strModeBytes));
    if (!bParsed)
    {
        FUZZ_CHECK(mode.uiAccess == 0xDEADBEEF && mode.uiDescriptorFlags == 0xDEADBEEF &&
                       std::strcmp(mode.szStreamMode, "zzz") == 0,
                   "mode " + Hex(strModeBytes));
        return;
    }

    using namespace SharedUtil;
    const bool bPlus = iPlus == 1;
    const char cFirst = strMode[0];
    const uint32_t uiAccess = bPlus           ? FILE_ACCESS_READ | FILE_ACCESS_WRITE
                              : cFirst == 'r' ? FILE_ACCESS_READ
                                              : FILE_ACCESS_WRITE;
    uint32_t uiFlags = bPlus ? DESCRIPTOR_READ_WRITE : cFirst == 'r' ? DESCRIPTOR_READ_ONLY : DESCRIPTOR_WRITE_ONLY;
    EFileCreation eCreation = EFileCreation::CREATION_OPEN_EXISTING;
    if (cFirst == 'w')
    {
        eCreation = EFileCreation::CREATION_CREATE_ALWAYS;
        uiFlags |= DESCRIPTOR_CREATE | DESCRIPTOR_TRUNCATE;
    }
    else if (cFirst == 'a')
    {
        eCreation = EFileCreation::CREATION_OPEN_ALWAYS;
        uiFlags |= DESCRIPTOR_APPEND | DESCRIPTOR_CREATE;
    }
    uiFlags |= bBinary ? DESCRIPTOR_BINARY : DESCRIPTOR_TEXT;
    const std::string strStream = std::string(1, cFirst) + (bPlus ? "+" : "") + (bBinary ? "b" : "");
    FUZZ_CHECK(mode.uiAccess == uiAccess && mode.eCreation == eCreation && mode.uiDescriptorFlags == uiFlags &&
                   mode.szStreamMode == strStream,
               "mode " + Hex(strModeBytes));
}

// Path-like texts: the input's bytes with the separators and dots that the
// rules are about mixed in by a second byte each.
SString PathText(CFuzzInput& input)
{
    static const char* const PIECES[] = {"\\", "/", "\\\\", ":", ".", "..", "C:", "\\\\?\\", "nul", "COM1", " "};
    constexpr uint32_t PIECE_COUNT = sizeof(PIECES) / sizeof(PIECES[0]);
    const SString strRaw = input.Text(MAX_PATH_BYTES);
    SString strPath;
    for (char c : strRaw)
    {
        const uint8_t uc = static_cast<uint8_t>(c);
        // Bytes from 0xF0 up stand for a piece; the rest stand for themselves.
        if (uc >= 0xF0 && uc - 0xF0u < PIECE_COUNT)
            strPath += PIECES[uc - 0xF0u];
        else
            strPath += c;
    }
    return strPath;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, std::size_t uiSize)
{
    CFuzzInput input(pData, uiSize);
    const uint8_t ucFlags = input.Byte();
    const SString strFirst = PathText(input);
    const SString strSecond = PathText(input);
    const SString strThird = PathText(input);
    const SString strFourth = PathText(input);
    const SString strFifth = PathText(input);

    CheckPathFunctions(strFirst, strSecond, strThird, strFourth, strFifth);
    CheckFilePathRules(strFirst);
    CheckFilePathRules(strSecond);
    if ((ucFlags & LONG_FLAGS_MASK) == LONG_FLAGS_MASK && !strFirst.empty())
    {
        SString strLong;
        const std::size_t uiLength = LONG_PATH_SHORTEST + input.Choice(LONG_PATH_LENGTHS);
        while (strLong.size() < uiLength)
            strLong += strFirst;
        strLong.resize(uiLength);
        CheckFilePathRules(strLong);
    }

    SString strDelimiter = input.Text(MAX_DELIMITER_BYTES);
    if (strDelimiter.empty())
        strDelimiter = "\\";
    CheckJoinParts(strSecond, strDelimiter, input.Int32(), input.Int32());
    CheckFileMode(input.Text(MAX_MODE_BYTES));
    return 0;
}
