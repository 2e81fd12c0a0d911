#include "hand_script.h"

namespace palisade::format::test_bytes {

using namespace std::string_view_literals;

HandScript::HandScript() {
  std::array<Assembly, kFieldCount + 1>& f = fields_;
  // ProductFlags, low word: optional blob 0x4, compressed archive 0x20,
  // single instance 0x100, master product 0x10000.
  f[1].U32(0x00010124);
  f[1].U32(0x04000805);                         // ProductFlags, high word
  f[2].U8(2);                                   // automatic-mode request
  f[3].Compact("Acme taskbar");                 // TaskbarText
  f[4].Compact("|Acme Notes \xE2\x80\x94 2.1"); // DisplayTitle, "|" and UTF-8
  f[5].Double(23.5);                            // TitleSize
  f[6].U32(3);                                  // progress page placement
  f[7].U16(1500);                               // minimum status time
  f[8].U8(1);                                   // ShortcutMode
  f[9].Time(2026, 12, 7, 9, 5, 3);              // uninstaller time-and-version block
  f[10].Compact("Acme Software");               // Publisher
  f[11].Compact("Acme Notes");                  // product name
  f[12].Compact("Plain-text notes");            // product description
  f[13].U8(2);                                  // Bitness: 32-bit only
  f[14].U8(9);                                  // option byte
  f[15].Compact("Acme Shared");                 // SharedPath
  f[16].Compact("shared");                      // portable shared folder
  f[17].Compact("Acme\\Notes");                 // ProductStartMenu
  f[18].Compact("2.1.0");                       // DisplayVersion
  f[19].Compact("Acme\\<os>");                  // installation folder rule
  f[20].Compact("Acme\\Notes\\2");              // ProductRegistry
  f[21].Blob(Utf16Le(u"REGEDIT4\r\n\u00FC"));   // registry merge text, UTF-16LE
  f[22].CompactU16(kHandMergeFileText);             // registry merge file text, 300 bytes: FF 2C 01
  f[23].I32(80);                                // BitmapSize
  f[24].I32(-1);                                // StretchMode
  f[25].Mid("||starts with a bar");             // greeting link text: an ASCII text that begins with the bar
  f[26].I32(2);                                 // license count
  f[26].Blob("{\\rtf1 license}");               //   license, language 1
  f[26].Blob("Lizenz");                         //   license, language 2
  f[27].I32(1);                                 // readme count
  f[27].Blob("readme");                         //   readme, language 1
  f[28].Compact("uninstall");                   // UninstallSubdir
  f[29].Narrow("Uninstall Acme.exe");           // uninstaller name
  f[30].Compact("Acme Notes 2");                // uninstall name
  f[31].Narrow("t31");                          // text
  f[32].Compact("<product> <description>");     // product heading text
  f[33].U32(0x112233);                          // banner text colour
  f[34].U8(3);                                  // side-picture frame
  f[35].U32(0xFFFFFF);                          // TitleColor
  f[36].U8(1);                                  // TitleShadow
  f[37].U8(2);                                  // TitlePosition
  f[38].Mid("Segoe UI");                        // TitleFont
  f[39].U32(0x1E3A5F);                          // TopColor
  f[40].U32(0x0B1624);                          // BottomColor
  f[41].I32(6);                                 // background bitmap length
  f[41].Raw("BM\x01\x02\x03\x04");              //   bitmap bytes
  f[41].U32(77);                                //   BitmapTPI
  f[42].U8(4);                                  // copyright present (CopyrightPos)
  f[42].U32(0xABCDEF);                          //   CopyrightColor
  f[42].Double(9.25);                           //   CopyrightSize
  f[42].Compact("|\xC2\xA9 2026 Acme");         //   CopyrightText
  f[42].Compact("Tahoma");                      //   CopyrightFont
  f[43].Compact("Acme Suite");                  // master product: registered name
  f[43].Compact("the Acme Suite");              //   name for messages
  f[43].Compact("3.0");                         //   minimum version
  f[44].CompactU32(kHandGreetingSound);             // greeting sound, 255 bytes: FF FF FF000000
  f[45].Compact("Acme");                        // DesktopFolder
  f[46].I32(22);                                // data block of icons, 22 bytes
  f[46].U8(1);                                  //   record kind: product icon
  f[46].U32(6);                                 //   its length
  f[46].Raw("\x00\x00\x01\x00P1"sv);            //   its .ico bytes
  f[46].U8(2);                                  //   record kind: uninstaller icon
  f[46].U32(6);                                 //   its length
  f[46].Raw("\x00\x00\x01\x00U2"sv);            //   its .ico bytes
  f[47].Compact("echo pre");                    // Pre-Installation Batch
  f[47].Compact("echo post");                   //   Post-Installation Batch
  f[47].Compact("echo exit");                   //   Installation-Exit Batch
  f[47].Compact("echo uninstall 1");            //   UninstallBatch1
  f[47].Compact("echo uninstall 2");            //   UninstallBatch2
  f[47].Compact("echo upgrade");                //   Upgrade Batch
  f[47].Compact("echo reinstall");              //   Reinstall Batch
  f[48].Raw("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x0C\x0D\x0E\x0F\x10\x11\x12\x13\x14"); // block, 20 bytes
  f[49].U32(0x100);                             // excluded systems
  f[50].U8(1);                                  // archive source: the file
  f[51].Compact("%InstallDir%\\notes.exe");     // program to launch at the end
  f[51].Compact("readme.txt");                  //   document to open at the end
  f[51].Compact("https://example.invalid/");    //   summary page's open target
  f[51].Compact("start");                       //   start notification
  f[51].Compact("begin");                       //   begin-install notification
  f[51].Compact("first");                       //   closing notification: first installation
  f[51].Compact("upgrade");                     //   closing notification: upgrade
  f[51].Compact("newer");                       //   closing notification: over a newer version
  f[51].Compact("again");                       //   closing notification: other reinstallation
  f[51].Compact("gone");                        //   NotifyURL
  f[51].Compact("welcome");                     //   greeting page text
  f[52].Narrow("t52");                          // text
  f[53].Short("t53");                           // text
  f[54].Compact("secret");                      // installation password
  f[54].Compact("t54");                         //   text
  f[54].Compact("Acme firewall");               //   firewall exception text
  f[54].Compact("bin");                         //   AddToPathSubfolder
  f[55].U32(0x11);                              // option word 1
  f[55].U32(0x22);                              //   option word 2
  f[55].U32(1);                                 //   Greeting page style
  f[55].U32(2);                                 //   Language page style
  f[55].U32(3);                                 //   License page style
  f[55].U32(4);                                 //   Readme page style
  f[55].U32(5);                                 //   ChooseDir page style
  f[55].U32(6);                                 //   StartMenu page style
  f[55].U32(7);                                 //   Progress page style
  f[55].U32(8);                                 //   Summary page style
  f[56].Blob("\xFF\x00\xFE"sv);                 // optional blob (ProductFlags low 0x4)
  f[57].Narrow("*.tmp");                        // conditional delete 1: pattern
  f[57].U8(1);                                  //   condition kind
  f[57].Narrow("x");                            //   value
  f[57].U8(8);                                  //   flags: also at uninstallation
  f[57].Narrow("|\xC3\xA9t\xC3\xA9.log");       //   conditional delete 2: pattern, "|" and UTF-8
  f[57].U8(2);                                  //   condition kind
  f[57].Narrow("y");                            //   value
  f[57].U8(1);                                  //   flags
  f[57].Narrow("~~THE END~~");                  //   end of the list; nothing else of its record
  f[58].I32(2);                                 // association count
  f[58].U32(1);                                 //   association 1: mode, full
  f[58].Narrow(".acmenote");                    //   extension
  f[58].Narrow("Acme.Note");                    //   ProgID
  f[58].Narrow("Acme note");                    //   description
  f[58].Narrow("open");                         //   verb
  f[58].Narrow("&Open");                        //   verb label
  f[58].Narrow("\"%InstallDir%\\notes.exe\" \"%1\""); //   command
  f[58].Wide(u"%InstallDir%\\notes.exe,1");     //   icon location, the one wide text
  f[58].Narrow("r1");                           //   narrow text read and ignored
  f[58].U32(2);                                 //   association 2: mode, open-with list only
  f[58].Narrow(".txt");                         //   extension
  f[58].Narrow("!Acme.Text");                   //   ProgID
  f[58].Narrow("|Acme-Text \xC3\xA9");          //   description, "|" and UTF-8
  f[58].Narrow("edit");                         //   verb
  f[58].Narrow("&Edit");                        //   verb label
  f[58].Narrow("notes.exe /e \"%1\"");          //   command
  f[58].Wide(u"t\u00E9xt.ico");                 //   icon location
  f[58].Narrow("");                             //   narrow text read and ignored
  f[59].I32(2);                                 // shortcut count
  f[59].Compact("notes.exe");                   //   shortcut 1: target
  f[59].Compact("Acme Notes");                  //   name
  f[59].Compact("notes.ico");                   //   icon
  f[59].Compact("--x");                         //   arguments
  f[59].Narrow("%InstallDir%");                 //   working folder
  f[59].U8(1);                                  //   desktop
  f[59].U8(1);                                  //   start menu
  f[59].U8(0);                                  //   startup
  f[59].Narrow("extra");                        //   extra folder
  f[59].U8(1);                                  //   permanent
  f[59].U8(2);                                  //   window state: maximised
  f[59].Compact("help.chm");                    //   shortcut 2: target
  f[59].Compact("Acme Help");                   //   name
  f[59].Compact("");                            //   icon
  f[59].Compact("");                            //   arguments
  f[59].Narrow("");                             //   working folder
  f[59].U8(0);                                  //   desktop
  f[59].U8(1);                                  //   start menu
  f[59].U8(1);                                  //   startup
  f[59].Narrow("");                             //   extra folder
  f[59].U8(0);                                  //   permanent
  f[59].U8(1);                                  //   window state: minimised
  f[60].Compact("notes.exe /portable");         // root-folder shortcut: command
  f[60].Compact("Notes");                       //   root-folder shortcut: name
  f[60].Wide(u"%InstallDir%\\notes.exe");       //   taskbar pin: command
  f[60].Wide(u"Notes \u00E9");                  //   taskbar pin: name
  f[61].I32(2);                                 // extra registration value count
  f[61].Narrow("HelpLink");                     //   value 1: name
  f[61].U8(1);                                  //   type: text
  f[61].Compact("https://example.invalid/help"); //   data
  f[61].Narrow("Sub\\Count");                   //   value 2: name with a sub-key
  f[61].U8(4);                                  //   type: number
  f[61].Compact("3");                           //   data
  f[62].Mid("support");                         // SupportOffer
  f[63].I32(static_cast<int32_t>(kHandSettings.size())); // data block of settings, one "Name=Value" line each
  f[63].Raw(kHandSettings);                     //   (the lines: kHandSettings)
  f[64].Narrow("AcmeNotesMain");                // close rule 1: window class
  f[64].Narrow("*Acme");                        //   window title
  f[64].Narrow("Acme Notes");                   //   application name
  f[64].U8(2);                                  //   action: ask the user
  f[64].U8(3);                                  //   when-mask
  f[64].Narrow("");                             //   close rule 2: window class
  f[64].Narrow("Acme Helper");                  //   window title
  f[64].Narrow("|Acme Helfer \xC3\xA4");        //   application name, "|" and UTF-8
  f[64].U8(3);                                  //   action: end the process
  f[64].U8(1);                                  //   when-mask
  f[64].Narrow("~~THE~END~~");                  //   end of the list; nothing else of its record
  f[65].U8(2);                                  // language count
  f[66].U32(3);                                 // message count
  f[67].Wide(u"Deutsch");                       // language 1 name
  f[67].Wide(u"English");                       //   language 2 name
  f[68].Wide(u"Titel");                         // message 0, language 1
  f[68].Wide(u"Title");                         //   message 0, language 2
  f[68].Wide(u"");                              //   message 1, language 1
  f[68].Wide(u"line\r\nbreak");                 //   message 1, language 2
  f[68].Wide(u"%d <product>");                  //   message 2, language 1
  f[68].Wide(u"\u4E2D");                        //   message 2, language 2
  f[69].U32(0xD3E82B97);                        // end marker
}

std::vector<uint8_t> HandScript::Bytes() const {
  Assembly joined;
  for (const Assembly& field : fields_) joined.Raw(field.bytes());
  return joined.bytes();
}

}  // namespace palisade::format::test_bytes
