#include "FileReason.h"

#include <cerrno>

namespace qel {

std::string FileReasonText(FileRefusal refusal, int error) {
    switch (refusal) {
        case FileRefusal::Folder: return "на его месте папка";
        case FileRefusal::Pipe: return "на его месте именованный канал";
        case FileRefusal::Device: return "на его месте устройство";
        case FileRefusal::Socket: return "на его месте сокет";
        case FileRefusal::ForeignLink: return "это символическая ссылка другого пользователя";
        case FileRefusal::ReadOnly: return "файл только для чтения";
        case FileRefusal::None: break;
    }
    switch (error) {
        case ENOENT: return "нет такой папки";
        case ENOTDIR: return "в пути к нему не папка";
        case EACCES:
        case EPERM: return "нет прав на запись";
        case EROFS: return "диск только для чтения";
        case ENOSPC: return "нет места на диске";
        case EDQUOT: return "превышена квота на диске";
        case EIO: return "ошибка ввода-вывода";
        case ELOOP: return "слишком много символических ссылок";
        case ENAMETOOLONG: return "слишком длинное имя";
        default: return SystemErrorText(error);
    }
}

}  // namespace qel
