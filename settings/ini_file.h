// clsIniFile: the program's one way to read and write a profile (INI) file.
// An object names one file and one current section; every operation is a
// single fresh call of the platform's private-profile functions, so nothing is
// cached and no file stays open. Text is UTF-8 here; the platform's profile
// functions carry it to and from the file exactly (platform/profile.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class clsIniFile {
 public:
  // The names of all sections of FileName into strSection; returns how many.
  // With none the array keeps its old contents.
  int32_t EmnumSection(std::vector<std::string>& strSection);
  // The lines ("key=value") of the current Section into strSectionString.
  int32_t EnumSectionString(std::vector<std::string>& strSectionString);

  void FileName(std::string strNewFileName);
  // From now on, writes refuse a symbolic link (on Windows any reparse
  // point) at FileName's name instead of rewriting the file it names: for
  // the run's own record files. By default a link is followed, as the
  // settings file, the user's own, may be one (platform/profile.h).
  void RefuseLinks();
  void Section(std::string strNewValue);
  std::string Section() const;
  std::string FileName() const;

  // Removes strKey from the current section.
  void DeleteKeyName(const std::string& strKey);
  // Removes a whole section; an empty strSection means the current one, and
  // its name is handed back in strSection.
  void DeleteSection(std::string& strSection);
  // Writes strKey=strValue into the current section; false when the write failed.
  bool SetString(const std::string& strKey, const std::string& strValue);
  // Writes strValue under strKey in the current section, or, when strKey
  // already holds a value, under the first free "<strKey> (2)",
  // "<strKey> (3)", ..., choosing and writing in one step no other writer can
  // come between. Returns the key written. Throws platform::Error naming the
  // file and the system's reason when the file cannot be written.
  std::string SetStringUnderFreeKey(const std::string& strKey, const std::string& strValue);
  // The value of strKey in the current section; strDefault when the key, the
  // section or the file is missing, or the value is empty.
  std::string GetString(const std::string& strKey, const std::string& strDefault);
  // The value of strKey read as an integer by the platform, or lngDefault.
  int32_t GetInteger(const std::string& strKey, int16_t lngDefault);

 private:
  // Splits a NUL-separated list ended by an empty item into array, which is
  // resized to exactly the items found (and left alone when there are none).
  static int32_t SplitNullList(std::vector<std::string>& array, std::string_view list);

  std::string strFileName_;
  std::string strSection_;
  bool refuseLinks_ = false;
};
