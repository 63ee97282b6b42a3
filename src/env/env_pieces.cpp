#include "env/env_pieces.h"

bool EnvReadStdioPiece(void* file, char* buffer, int size) {
  return fgets(buffer, size, static_cast<FILE*>(file)) != nullptr;
}

void EnvTextInputInit(EnvTextInput* input, const void* data, size_t size) {
  *input = EnvTextInput();
  input->data = static_cast<const unsigned char*>(data);
  input->size = size;
}

bool EnvReadTextPiece(void* source, char* buffer, int size) {
  EnvTextInput* in = static_cast<EnvTextInput*>(source);
  if (size < 2) return false;
  in->pieceLine = in->nextLine;
  in->pieceOffset = in->nextOffset;
  int count = 0;
  while (count < size - 1 && !in->ended && in->pos < in->size) {
    unsigned char c = in->data[in->pos];
    if (c == 0x1A) {
      in->ended = true;  // the rest of the file is never seen
      break;
    }
    bool crlf = c == '\r' && in->pos + 1 < in->size && in->data[in->pos + 1] == '\n';
    in->pos += crlf ? 2 : 1;
    if (crlf || c == '\n') {
      buffer[count++] = '\n';
      ++in->nextLine;
      in->nextOffset = 0;
      break;
    }
    buffer[count++] = static_cast<char>(c);
    ++in->nextOffset;
  }
  buffer[count] = '\0';
  return count > 0;
}
