// Test doubles for the description reader and loader: an in-memory key, a
// counting handle factory and the default description as its script writes it.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "description/loader.h"
#include "description/reader.h"
#include "launcher/text.h"

namespace tvn {
namespace testing_fakes {

// A key held in memory: value name -> raw data bytes.
class MemorySource : public DescriptionSource {
 public:
  // A REG_SZ-like text value, stored with its terminator.
  void SetText(const std::string& name, TextView text) {
    std::vector<std::uint8_t> bytes((text.size() + 1) * 2, 0);
    std::memcpy(bytes.data(), text.data(), text.size() * 2);
    values_[FromUtf8(name)] = bytes;
  }
  void SetUtf8(const std::string& name, const std::string& utf8) { SetText(name, FromUtf8(utf8)); }
  void SetNumber(const std::string& name, std::int64_t n) { SetText(name, FormatNumber(n)); }
  // Raw data exactly as given (odd byte counts, no terminator, oversize data).
  void SetBytes(const std::string& name, const std::vector<std::uint8_t>& bytes) { values_[FromUtf8(name)] = bytes; }
  void SetUnterminated(const std::string& name, TextView text) {
    std::vector<std::uint8_t> bytes(text.size() * 2);
    std::memcpy(bytes.data(), text.data(), bytes.size());
    values_[FromUtf8(name)] = bytes;
  }
  void Remove(const std::string& name) { values_.erase(FromUtf8(name)); }
  const std::map<Text, std::vector<std::uint8_t>>& values() const { return values_; }

  std::uint32_t OpenKey(TextView subKey) override {
    ++opens;
    openedKey = Text(subKey);
    if (openStatus != 0) return openStatus;
    open = true;
    return 0;
  }
  std::uint32_t QueryValue(TextView name, std::uint8_t* buffer, std::size_t capacity,
                           std::size_t& bytes) override {
    queries.push_back(ToUtf8(name));
    bytes = 0;
    if (!open) return kStatusInvalidHandle;
    auto it = values_.find(Text(name));
    if (it == values_.end()) return kStatusFileNotFound;
    if (it->second.size() > capacity) {
      if (!overreport) return kStatusMoreData;
      // A misbehaving source: copies what fits but reports the full size.
      std::memcpy(buffer, it->second.data(), capacity);
      bytes = it->second.size();
      return 0;
    }
    if (!it->second.empty()) std::memcpy(buffer, it->second.data(), it->second.size());
    bytes = it->second.size();
    return 0;
  }
  std::uint32_t CloseKey() override {
    ++closes;
    open = false;
    return closeStatus;
  }

  std::uint32_t openStatus = 0;
  std::uint32_t closeStatus = 0;
  bool overreport = false;
  bool open = false;
  int opens = 0;
  int closes = 0;
  Text openedKey;
  std::vector<std::string> queries;

 private:
  std::map<Text, std::vector<std::uint8_t>> values_;
};

// Counts every handle made and destroyed and notices misuse. Icons whose file
// is empty or named "missing.dll" are not made (0), as the platform gives none.
class CountingFactory : public HandleFactory {
 public:
  IconHandle MakeIcon(TextView file, std::int32_t index) override {
    iconRequests.push_back(ToUtf8(file) + "#" + std::to_string(index));
    if (file.empty() || file == u"missing.dll") return 0;
    IconHandle h = next_++;
    liveIcons.insert(h);
    icons[h] = ToUtf8(file) + "#" + std::to_string(index);
    ++iconsMade;
    return h;
  }
  void DestroyIcon(IconHandle icon) override {
    if (liveIcons.erase(icon) == 0) {
      ++misuse;
    } else {
      ++iconsDestroyed;
    }
  }
  FontHandle MakeFont(const FontSpec& spec) override {
    FontHandle h = next_++;
    liveFonts.insert(h);
    fonts[h] = spec;
    ++fontsMade;
    return h;
  }
  void DeleteFont(FontHandle font) override {
    if (liveFonts.erase(font) == 0) {
      ++misuse;
    } else {
      ++fontsDeleted;
    }
  }

  std::string IconOf(IconHandle h) const {
    auto it = icons.find(h);
    return it == icons.end() ? std::string() : it->second;
  }
  const FontSpec* FontOf(FontHandle h) const {
    auto it = fonts.find(h);
    return it == fonts.end() ? nullptr : &it->second;
  }

  std::set<IconHandle> liveIcons;
  std::set<FontHandle> liveFonts;
  std::map<IconHandle, std::string> icons;  // every icon ever made
  std::map<FontHandle, FontSpec> fonts;     // every font ever made
  std::vector<std::string> iconRequests;
  int iconsMade = 0, iconsDestroyed = 0, fontsMade = 0, fontsDeleted = 0, misuse = 0;

 private:
  std::uintptr_t next_ = 0x1000;
};

// The default description as the script's branches write it (Windows 7, an
// empty domain list), through the same helpers as the script.
class DefaultDescription {
 public:
  explicit DefaultDescription(MemorySource& key) : key_(key) {}

  static constexpr const char* kSystemText = "ОС: Microsoft Windows 7\r\nПользователь: tester";
  static constexpr const char* kRun = "rundll32.exe shell32.dll,Control_RunDLL ";

  void R(const std::string& name, const std::string& value) { key_.SetUtf8(name, value); }
  void R(const std::string& name, std::int64_t value) { key_.SetNumber(name, value); }

  void AddCommandInList(const std::string& command, const std::string& title, const std::string& icon,
                        std::int64_t menu, std::int64_t type, std::int64_t colour) {
    std::string n = "1.2." + std::to_string(cmd_);
    R(n + "#3", title);
    R(n + "#0", icon);
    R(n + "#2", colour);
    R(n + "#4", command);
    R(n + "#5", type);
    R(n + "#6", menu);
    ++cmd_;
    R("1.2#20", cmd_);
  }
  void AddMenuInList(const std::string& command, const std::string& title, const std::string& icon,
                     std::int64_t number, bool newMenu) {
    if (newMenu) {
      ++menu_;
      item_ = 0;
      R("1.3#20", menu_);
      return;
    }
    std::string n = "1.3." + std::to_string(menu_) + "." + std::to_string(item_);
    R(n + "#3", title);
    R(n + "#0", icon);
    R(n + "#4", command);
    R(n + "#6", number);
    ++item_;
    R("1.3." + std::to_string(menu_) + "#20", item_);
  }

  void D1() {
    const std::string s1 = "arial#14", s2 = "arial#15#1";
    R("0#3", "TVN3: Авторизация");
    R("0#0", "shell32.dll#44");
    R("0.0#0", "shell32.dll#221");
    R("0.1#7", s1);
    R("0.1#3", kSystemText);
    R("0.2#0", "shell32.dll#18");
    R("0.3#7", s2);
    R("0.3#3", "Имя домена:");
    R("0.4#20", 0);
    R("0.4#9", 1);
    R("0.4#7", s1);
    R("0.5#0", "shell32.dll#160");
    R("0.6#7", s2);
    R("0.6#3", "Имя пользователя:");
    R("0.7#20", 0);
    R("0.7#21", 0);
    R("0.7#7", s1);
    R("0.8#0", "shell32.dll#47");
    R("0.9#7", s2);
    R("0.9#3", "Пароль:");
    R("0.10#7", s1);
    R("0.11#7", s1);
    R("0.11#8", 1);
    R("0.11#3", "Игнорировать UAC (доступна начиная с Windows Vista)");
    R("0.12#7", s1);
    R("0.12#22", 0);
    R("0.12#8", 1);
    R("0.12#3", "Загружать профиль");
    R("0.13#7", s1);
    R("0.13#3", "Использовать текущие учетные данные");
    R("0.14#7", s1);
    R("0.14#3", "Войти");
    R("0.15#7", s1);
    R("0.15#3", "Закрыть");
    R("0.16#7", s1);
    R("0.16#3", "?");
    DHelp();
  }

  void D2() {
    const std::string s1 = "arial#14", run = kRun;
    const std::int64_t c1 = 0, c2 = 32768, c3 = 16711680;
    R("1#3", "TVN3: Команды");
    R("1#0", "shell32.dll#24");
    R("1.0#0", "shell32.dll#221");
    R("1.1#7", s1);
    R("1.1#3", kSystemText);
    R("1.2#7", s1);
    AddMenuInList("", "", "", 0, false);
    AddMenuInList("", "", "", 0, true);
    AddCommandInList(run + "appwiz.cpl", "Установка и удаление программ", "appwiz.cpl#0", menu_, 1, c2);
    AddMenuInList("rundll32.exe shell32.dll,Control_RunDLL appwiz.cpl,,2", "Компоненты Windows", "appwiz.cpl#0", 0,
                  false);
    AddMenuInList("", "", "", 0, true);
    AddCommandInList(run + "desk.cpl", "Параметры экрана", "desk.cpl#0", menu_, 1, c2);
    AddMenuInList(run + "powercfg.cpl", "Настройки электропитания", "powercfg.cpl#2", 0, false);
    AddMenuInList("", "", "", 0, true);
    AddCommandInList(run + "intl.cpl", "Региональные настройки", "intl.cpl#0", 0, 0, c1);
    AddCommandInList(run + "mmsys.cpl", "Звуки и аудиоустройства", "mmsys.cpl#0", 0, 0, c1);
    AddCommandInList("regedit.exe", "Редактор реестра", "regedit.exe#0", 0, 0, c1);
    AddCommandInList(run + "sysdm.cpl", "Параметры системы", "sysdm.cpl#0", 0, 0, c1);
    AddCommandInList(run + "timedate.cpl", "Настройки даты и времени", "timedate.cpl#0", 0, 0, c1);
    AddCommandInList("control userpasswords2", "Учетные записи пользователей", "shell32.dll#111", 0, 0, c1);
    AddCommandInList(run + "hdwwiz.cpl", "Оборудование", "hdwwiz.cpl#0", menu_, 1, c2);
    AddMenuInList(run + "joy.cpl", "Настройки джойстика", "joy.cpl#0", 0, false);
    AddMenuInList("rundll32.exe shell32.dll,Control_RunDLL main.cpl @0", "Настройка мыши", "main.cpl#0", 0, false);
    AddMenuInList("rundll32.exe shell32.dll,Control_RunDLL main.cpl @1", "Настройка клавиатуры", "main.cpl#7", 0,
                  false);
    AddMenuInList("", "", "", 0, true);
    AddCommandInList(run + "inetcpl.cpl", "Свойства обозревателя", "shell32.dll#13", 0, 0, c1);
    AddCommandInList("compmgmt.msc", "Управление компьютером", "mycomput.dll#2", menu_, 1, c2);
    AddMenuInList("eventvwr.msc", "Просмотр событий", "els.dll#0", 0, false);
    AddMenuInList("fsmgmt.msc", "Общие папки", "filemgmt.dll#1", 0, false);
    AddMenuInList("lusrmgr.msc", "Локальные пользователи и группы", "netplwiz.dll#0", 0, false);
    AddMenuInList("devmgmt.msc", "Диспетчер устройств", "devmgr.dll#0", 0, false);
    AddMenuInList("diskmgmt.msc", "Управление дисками", "dmdskres.dll#0", 0, false);
    AddMenuInList("services.msc", "Службы", "filemgmt.dll#0", 0, false);
    AddMenuInList("gpedit.msc", "Групповые политики", "mmc.exe#0", 0, false);
    AddMenuInList("", "", "", 0, true);
    AddCommandInList("taskmgr.exe", "Диспетчер задач", "taskmgr.exe#0", 0, 0, c1);
    AddCommandInList("cmd.exe", "Коммандная строка", "cmd.exe#0", 0, 0, c1);
    AddCommandInList("", "Панель управления", "control.exe#0", menu_, 2, c3);
    AddMenuInList("3", "control panel", "", 0, false);
    AddMenuInList("", "", "", 0, true);
    AddCommandInList("", "Принтеры", "shell32.dll#58", menu_, 2, c3);
    AddMenuInList("4", "printers", "", 0, false);
    AddMenuInList("", "", "", 0, true);
    AddCommandInList("", "Сетевые подключения", "shell32.dll#18", menu_, 2, c3);
    AddMenuInList("49", "network", "", 0, false);
    AddMenuInList("", "", "", 0, true);
    R("1.4#9", 1);
    R("1.4#7", s1);
    R("1.5#7", s1);
    R("1.5#3", "Обзор");
    R("1.6#7", s1);
    R("1.6#8", 1);
    R("1.6#3", "Поддержка фильтров");
    R("1.7#7", s1);
    R("1.7#3", "Запустить процесс \"скрытым\"");
    R("1.8#7", s1);
    R("1.8#3", "Выполнить");
    R("1.9#7", s1);
    R("1.9#3", "Закрыть");
    R("1.10#7", s1);
    R("1.10#3", "Обновить");
    R("1.11#7", s1);
    R("1.11#3", "Авторизация");
    R("1.12#7", s1);
    R("1.12#3", "?");
    DHelp();
  }

  void DHelp() {
    R("2#3", "TVN3: Помощь");
    R("2#0", "shell32.dll#23");
    R("2.0#0", "shell32.dll#111");
    R("2.1#7", "arial#15");
    R("2.2#7", "arial#14");
    R("2.2#3",
      "Авторы снимают с себя любую ответственность за деструктивные действия совершенные программой либо с "
      "помощью нее.");
    R("2.3#9", 1);
    R("2.3#7", "arial#14");
    R("2.3#3", "Закрыть");
    R("2.4#7", "arial#14");
    R("2.4#3", "Диагностика");
  }

 private:
  MemorySource& key_;
  std::int64_t cmd_ = 0, menu_ = 0, item_ = 0;
};

}  // namespace testing_fakes
}  // namespace tvn
